#pragma once

#include <string>
#include <string_view>
#include <vector>

// How the windows drawn in text (the text and terminal backends) lay out a
// table: by display width, so that Japanese text lines up.
namespace appkit::TextLayout {

// The number of terminal columns UTF-8 text takes (wide characters such as
// kanji take two), by wcwidth() in a UTF-8 locale whatever the process's
// locale is. Control characters take none; bytes that are not UTF-8 one
// each.
int displayWidth(std::string_view text);

// `text` cut to at most `width` columns (never splitting a character), then
// padded with blanks to exactly `width` columns.
std::string fitToWidth(std::string_view text, int width);

// Per column, the widest display width of its title and its cells.
std::vector<int> columnWidths(const std::vector<std::string>& columns,
                              const std::vector<std::vector<std::string>>& rows);

// One row of a table whose columns are `widths` wide: each cell fit to its
// column between blanks, the columns between `bar`s, as "| a | b |".
std::string tableRow(const std::vector<int>& widths, const std::vector<std::string>& cells,
                     std::string_view bar);

// A rule of that table: `left`, `fill` over each column and its blanks,
// `joint` between the columns, `right`, as "┌───┬───┐".
std::string tableRule(const std::vector<int>& widths, std::string_view left, std::string_view fill,
                      std::string_view joint, std::string_view right);

}  // namespace appkit::TextLayout
