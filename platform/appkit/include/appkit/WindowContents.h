#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "appkit/AppKitExport.h"

namespace appkit {

class Button;
class Window;

// What the backends draw of a window: its title, its content view's size, its
// first table (column titles and the cells' texts, asked of the data source
// now) and its buttons.
struct VELKAPPKIT_EXPORT WindowContents {
  std::string title;
  int width = 0;
  int height = 0;
  // The table's accessibility label.
  std::string tableName;
  std::vector<std::string> columns;
  std::vector<std::vector<std::string>> rows;
  std::vector<std::string> buttons;
  // The buttons themselves, in the order of `buttons`.
  std::vector<std::weak_ptr<Button>> buttonViews;
  // Index in `buttons` of the window's first responder; -1 when that is not
  // one of them.
  int focusedButton = -1;

  // A cell shows a std::string as it is, an int in decimal, anything else
  // (and nothing) as an empty text.
  static WindowContents of(Window& window);

  // Per column, the widest display width of its title and its cells.
  std::vector<int> columnWidths() const;

  // The number of terminal columns UTF-8 text takes (wide characters such
  // as kanji take two), by wcwidth() in a UTF-8 locale whatever the
  // process's locale is. Control characters take none; bytes that are not
  // UTF-8 one each.
  static int displayWidth(std::string_view text);

  // `text` cut to at most `width` columns (never splitting a character),
  // then padded with blanks to exactly `width` columns.
  static std::string fitToWidth(std::string_view text, int width);

  // One row of a table whose columns are `widths` wide: each cell fit to its
  // column between blanks, the columns between `bar`s, as "| a | b |".
  static std::string tableRow(const std::vector<int>& widths, const std::vector<std::string>& cells,
                              std::string_view bar);

  // A rule of that table: `left`, `fill` over each column and its blanks,
  // `joint` between the columns, `right`, as "┌───┬───┐".
  static std::string tableRule(const std::vector<int>& widths, std::string_view left,
                               std::string_view fill, std::string_view joint,
                               std::string_view right);
};

}  // namespace appkit
