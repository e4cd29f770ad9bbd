#pragma once

#include <any>
#include <string>
#include <vector>

namespace appkit {

class Window;

// What the backends draw of a window: its title, its first table (column
// titles and the cells' texts, asked of the data source now) and its buttons.
struct WindowContents {
  std::string title;
  bool hasTable = false;
  std::vector<std::string> columns;
  std::vector<std::vector<std::string>> rows;
  std::vector<std::string> buttons;
  // Index in `buttons` of the window's first responder; -1 when that is not
  // one of them.
  int focusedButton = -1;

  static WindowContents of(Window& window);

  // Per column, the widest display width of its title and its cells.
  std::vector<int> columnWidths() const;

  // How a cell value shows: a string as it is, an integer or floating-point
  // number in decimal, anything else (and nothing) as an empty text.
  static std::string cellText(const std::any& value);
};

}  // namespace appkit
