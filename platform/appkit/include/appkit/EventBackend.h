#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "appkit/AppKitExport.h"
#include "appkit/Event.h"

namespace appkit {

class Window;

// One thing the user did to the modal window, as a backend reports it; the
// application's modal loop decides what it means.
struct Input {
  enum class Kind {
    KeyPress,     // a key with the modifiers held
    ButtonPress,  // a press of the window's focused button
    CloseButton,  // the title bar's close button
  };
  Kind kind = Kind::KeyPress;
  EventModifierFlags modifierFlags = 0;
  // KeyPress: one character, or " ", "\r", "\t", "\x1b"; an upper-case
  // letter stands for the letter with Shift. The empty initialiser lets a
  // designated initialiser leave it out (clang warns otherwise).
  std::string key{};  // NOLINT(readability-redundant-member-init)
};

// Draws the windows on screen and reports the user's input. The host installs
// one with Application::setEventBackend().
class VELKAPPKIT_EXPORT EventBackend {
 public:
  virtual ~EventBackend() = default;

  // `window` has come on screen: draws WindowContents::of(window). False when
  // it cannot be shown (a terminal that cannot be set up); its modal loop then
  // gets no input.
  virtual bool displayWindow(Window& window) = 0;

  // `window` has left the screen (ordered out, closed, or released). Nothing
  // here: a backend that keeps nothing of a window on screen has nothing to
  // undo.
  virtual void windowDidOrderOut(Window& /*window*/) {}

  // Waits for the user's next input to the modal `window`; nullopt when no
  // more will come.
  virtual std::optional<Input> nextInput(Window& window) = 0;

  // A new backend by name: "text" (standard input and output), "terminal"
  // (full screen) or "desktop" (a real window); nullptr for other names, and
  // for a window that cannot be had (after one line on standard error saying
  // why: its plugin is not installed, or no display can be opened).
  static std::unique_ptr<EventBackend> named(std::string_view name);

  // The backend for a user who did not pick one: "desktop" when a display is
  // named (WAYLAND_DISPLAY or DISPLAY) and it can be had, else "terminal"
  // when standard input and output are terminals, else nullptr: nobody would
  // see a window, so its modal loop gets no input.
  static std::unique_ptr<EventBackend> automatic();

  // The terminal and desktop backends are plugins, libVelkAppKitTerminal.so
  // and libVelkAppKitQt.so in the folder VelkUpdateReminder/plugins beside
  // this library, loaded when first asked for. Each has an extern "C"
  // function of this name and type: it sets `backend` and returns true, or
  // sets `error` to one line saying why there is no window.
  using PluginEntry = bool (*)(std::unique_ptr<EventBackend>& backend, std::string& error);
  static constexpr const char* PluginEntryName = "velkAppKitBackend";
};

}  // namespace appkit
