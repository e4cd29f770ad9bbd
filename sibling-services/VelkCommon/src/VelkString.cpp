#include "VelkCommon/VelkString.h"

#include <algorithm>
#include <cstddef>

#include "foundation/Utf8.h"

namespace {

// Byte offset of the character with index `index`, or text.size() when the
// text has fewer. A character starts at a byte that is no UTF-8 continuation
// byte and takes the continuation bytes after it (so a byte that begins no
// well-formed sequence is a character of its own); continuation bytes before
// the first such byte belong to none.
std::size_t byteOffset(std::string_view text, std::int64_t index) {
  std::int64_t seen = 0;
  for (std::size_t offset = 0; offset < text.size(); ++offset) {
    if (foundation::Utf8::isContinuation(text[offset])) {
      continue;
    }
    if (seen++ == index) {
      return offset;
    }
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
