#pragma once

#include <memory>
#include <string>
#include <vector>

#include "appkit/AppKitExport.h"

namespace appkit {

class Button;
class Window;

// What the backends draw of a window: its title, its content view's size, its
// first table (column titles and the cells' texts, asked of the data source
// now) and its buttons, with the focused one.
struct VELKAPPKIT_EXPORT WindowContents {
  std::string title;
  int width = 0;
  int height = 0;
  // The empty initialisers let a designated initialiser leave these out
  // (clang warns otherwise).
  // NOLINTBEGIN(readability-redundant-member-init)
  // The table's accessibility label.
  std::string tableName{};
  std::vector<std::string> columns{};
  std::vector<std::vector<std::string>> rows{};
  std::vector<std::string> buttons{};
  // The buttons themselves, in the order of `buttons`.
  std::vector<std::weak_ptr<Button>> buttonViews{};
  // NOLINTEND(readability-redundant-member-init)
  // Index in `buttons` of the window's first responder; -1 when that is not
  // one of them.
  int focusedButton = -1;

  // A cell shows a std::string as it is, an int in decimal, anything else
  // (and nothing) as an empty text.
  static WindowContents of(Window& window);
};

}  // namespace appkit
