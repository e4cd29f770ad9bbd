#include "VelkCommon/VelkString.h"

#include <algorithm>
#include <cstddef>

namespace {

// Byte offset of the code point with index `index`, or text.size() when the
// text has fewer code points. A byte that does not start a UTF-8 sequence
// (continuation byte) is never taken as a character boundary.
std::size_t byteOffset(std::string_view text, std::int64_t index) {
  std::size_t offset = 0;
  for (std::int64_t seen = 0; offset < text.size(); ++offset) {
    const auto byte = static_cast<unsigned char>(text[offset]);
    if ((byte & 0xC0U) == 0x80U) {
      continue;
    }
    if (seen == index) {
      return offset;
    }
    ++seen;
  }
  return text.size();
}

}  // namespace

std::string substring(std::string_view text, std::int64_t start, std::int64_t end) {
  start = std::max<std::int64_t>(start, 0);
  if (end <= start) {
    return {};
  }
  const std::size_t from = byteOffset(text, start);
  const std::size_t to = byteOffset(text, end);
  return std::string(text.substr(from, to - from));
}
