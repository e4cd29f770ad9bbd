#include "foundation/Utf8.h"

namespace foundation {

std::size_t Utf8::validLength(std::string_view text) noexcept {
  std::size_t offset = 0;
  while (offset < text.size()) {
    // Plain ASCII, by far the most common, needs no decoding.
    if (static_cast<unsigned char>(text[offset]) < 0x80) {
      ++offset;
      continue;
    }
    const std::size_t length = decode(text.substr(offset)).length;
    if (length == 0) {
      return offset;
    }
    offset += length;
  }
  return offset;
}

}  // namespace foundation
