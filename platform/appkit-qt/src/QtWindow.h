#pragma once

#include <QDialog>
#include <QHBoxLayout>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "appkit/EventBackend.h"

namespace appkit {
class Button;
class Window;
}  // namespace appkit

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
// between the table and the buttons, a click to the button clicked (and the
// window's first responder with it), and the arrow keys move through the
// table's cells.
class QtWindow : public QDialog {
 public:
  using InputHandler = std::function<void(const appkit::Input& input)>;

  QtWindow(appkit::Window& window, InputHandler onInput);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void fitAndCentre(int width, int height);
  // The window's first responder becomes the button `focus`; no button when
  // it is none of them.
  void firstResponderFollows(const QWidget* focus);

  InputHandler onInput_;
  // Children are members, so they go before the widget does.
  QVBoxLayout layout_;
  std::unique_ptr<QTableWidget> table_;  // only when the window has a table
  QHBoxLayout buttonRow_;
  std::vector<std::unique_ptr<QPushButton>> buttons_;
  std::vector<std::weak_ptr<appkit::Button>> buttonViews_;  // in the order of buttons_
};
