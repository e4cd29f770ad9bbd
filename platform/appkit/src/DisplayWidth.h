#pragma once

#include <string>
#include <string_view>

namespace appkit {

// The number of terminal columns UTF-8 text takes (wide characters such as
// kanji take two), by wcwidth() in a UTF-8 locale whatever the process's
// locale is. Control characters take none; bytes that are not UTF-8 one each.
int displayWidth(std::string_view text);

// `text` cut to at most `width` columns (never splitting a character), then
// padded with blanks to exactly `width` columns.
std::string fitToWidth(std::string_view text, int width);

}  // namespace appkit
