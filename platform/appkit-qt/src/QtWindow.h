#pragma once

#include <QDialog>
#include <QHBoxLayout>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "appkit/Event.h"
#include "appkit/WindowContents.h"

#include "QtTableModel.h"

namespace appkit {
class Button;
class Window;
}  // namespace appkit

// What the user did in a QtWindow, before it becomes an appkit event.
struct QtWindowInput {
  enum class Kind { KeyPress, ButtonClick, CloseButton };
  Kind kind = Kind::KeyPress;
  appkit::EventModifierFlags modifierFlags = 0;
  // The initialisers of key and button let designated initialisers leave
  // them out (clang warns otherwise).
  // KeyPress: one character, or " ", "\r", "\t", "\x1b".
  std::string key{};  // NOLINT(readability-redundant-member-init)
  // ButtonClick: the button clicked.
  std::weak_ptr<appkit::Button> button{};  // NOLINT(readability-redundant-member-init)
};

// The Qt dialog that shows one appkit window: its title and content size, its
// table with the column titles and the cells' texts, and its buttons, the
// focused one with the keyboard focus. Application-modal, centred on its
// screen, fixed in size. Assistive technology sees a dialog named by the
// title, the table named by its accessibility label, and the buttons.
//
// Qt decides nothing about the window: every key press in it (shortcuts and
// mnemonics included), a click on one of its buttons (also one made through
// assistive technology) and its title bar's close button are handed to
// `onInput` and otherwise swallowed, so that they take the appkit path (local
// monitors, then the window). Only the keyboard focus is Qt's: Tab moves it
// between the table and the buttons (and the window's first responder with
// it), and the arrow keys move through the table's cells.
class QtWindow : public QDialog {
 public:
  using InputHandler = std::function<void(const QtWindowInput& input)>;

  QtWindow(appkit::Window& window, InputHandler onInput);

  // Draws `window`'s title, table and button titles again.
  void refresh(appkit::Window& window);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  // Draws the title, the table and the button titles of `contents`.
  void showContents(appkit::WindowContents contents);
  void fitAndCentre(int width, int height);

  InputHandler onInput_;
  // Children are members, so they go before the widget does.
  QVBoxLayout layout_;
  QtTableModel model_;
  std::unique_ptr<QTableView> table_;  // only when the window has a table
  QHBoxLayout buttonRow_;
  std::vector<std::unique_ptr<QPushButton>> buttons_;
  std::vector<std::weak_ptr<appkit::Button>> buttonViews_;  // in the order of buttons_
};
