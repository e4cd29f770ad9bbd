#include "VelkCommon/VelkString.h"

#include <algorithm>
#include <cstddef>

#include "foundation/Utf8.h"

namespace {

// Byte offset of the code point with index `index`, or text.size() when the
// text has fewer code points. A byte that begins no well-formed UTF-8
// sequence counts as one character, and stray continuation bytes belong to
// the character before them.
std::size_t byteOffset(std::string_view text, std::int64_t index) {
  std::size_t offset = 0;
  for (std::int64_t seen = 0; offset < text.size() && seen < index; ++seen) {
    offset += std::max<std::size_t>(foundation::Utf8::decode(text.substr(offset)).length, 1);
    while (offset < text.size() && foundation::Utf8::isContinuation(text[offset])) {
      ++offset;
    }
  }
  return offset;
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
