#pragma once

#include <optional>

#include "appkit/EventBackend.h"

struct screen;  // ncurses' SCREEN

namespace appkit {

// Full-screen windows on the terminal of standard input and output
// (ncursesw). A window on screen shows its title, its first table in a box
// with its column titles, and its buttons, the focused one highlighted; text
// is aligned by display width, so Japanese text lines up. Keys:
//   Enter, Space       press the focused button
//   Alt+<key>          Option+<key> (Alt+C is Option+C)
//   Escape, Ctrl+W     the title bar's close button
//   other keys         key presses without modifiers (Control for Ctrl+<letter>)
// The terminal is restored when the window leaves the screen and when the
// backend is destroyed. When the terminal cannot be set up, a line goes to
// standard error and the window is not shown.
class TerminalEventBackend : public EventBackend {
 public:
  TerminalEventBackend() = default;
  ~TerminalEventBackend() override;
  TerminalEventBackend(const TerminalEventBackend&) = delete;
  TerminalEventBackend& operator=(const TerminalEventBackend&) = delete;

  bool displayWindow(Window& window) override;
  void windowDidOrderOut(Window& window) override;
  std::optional<Input> nextInput(Window& window) override;

 private:
  // Sets the screen up when a window first needs it; true when it can be
  // drawn on.
  bool resume();
  // Gives the terminal back while no window is on screen.
  void suspend();

  ::screen* screen_ = nullptr;
  bool active_ = false;
  bool failed_ = false;
};

}  // namespace appkit
