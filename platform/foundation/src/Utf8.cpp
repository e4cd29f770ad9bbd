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

void Utf8::append(std::string& text, char32_t codePoint) {
  if ((codePoint >= 0xD800 && codePoint <= 0xDFFF) || codePoint > 0x10FFFF) {
    codePoint = 0xFFFD;
  }
  const auto put = [&](char32_t bits) { text += static_cast<char>(bits); };
  if (codePoint < 0x80) {
    put(codePoint);
  } else if (codePoint < 0x800) {
    put(0xC0U | (codePoint >> 6U));
    put(0x80U | (codePoint & 0x3FU));
  } else if (codePoint < 0x10000) {
    put(0xE0U | (codePoint >> 12U));
    put(0x80U | ((codePoint >> 6U) & 0x3FU));
    put(0x80U | (codePoint & 0x3FU));
  } else {
    put(0xF0U | (codePoint >> 18U));
    put(0x80U | ((codePoint >> 12U) & 0x3FU));
    put(0x80U | ((codePoint >> 6U) & 0x3FU));
    put(0x80U | (codePoint & 0x3FU));
  }
}

}  // namespace foundation
