#include "VelkCommon/VelkString.h"

#include <algorithm>

#include "foundation/Utf8.h"

std::string substring(std::string_view text, std::int64_t start, std::int64_t end) {
  // A character starts at a byte that is no UTF-8 continuation byte and takes
  // the continuation bytes after it (so a byte that begins no well-formed
  // sequence is a character of its own); continuation bytes before the first
  // such byte belong to none.
  std::size_t from = text.size();
  std::size_t to = text.size();
  std::int64_t index = 0;
  for (std::size_t offset = 0; offset < text.size() && index <= end; ++offset) {
    if (!foundation::Utf8::isContinuation(text[offset])) {
      from = index == std::max<std::int64_t>(start, 0) ? offset : from;
      to = index++ == end ? offset : to;
    }
  }
  return from < to ? std::string(text.substr(from, to - from)) : std::string();
}
