#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "appkit/AppKitExport.h"
#include "appkit/Event.h"

namespace appkit {

class Window;

// Draws the windows on screen and turns the user's input into events; the
// host installs one with Application::setEventBackend().
class VELKAPPKIT_EXPORT EventBackend {
 public:
  virtual ~EventBackend() = default;

  // `window` has come on screen.
  virtual void displayWindow(Window& window) = 0;

  // `window` has left the screen (ordered out, closed, or released).
  virtual void windowDidOrderOut(Window& window) = 0;

  // Waits for the user's next input to the modal `window` and handles it: a
  // key press goes to Application::sendEvent(), a click on a button presses
  // it, the title bar's close button calls the window's performClose().
  // Returns false when no input will ever come again.
  virtual bool handleNextInput(const std::shared_ptr<Window>& window) = 0;

  // A new backend by name: "text" (standard input and output), "terminal"
  // (full screen) or "desktop" (a real window, from the desktop plugin);
  // nullptr for other names, for a backend this build leaves out, and for
  // "desktop" when no window can be opened (the last two after one line on
  // standard error saying why).
  static std::unique_ptr<EventBackend> named(std::string_view name);

  // The backend for a user who did not pick one: "desktop" when a display is
  // named (WAYLAND_DISPLAY or DISPLAY) and the desktop plugin opens it, else
  // "terminal" when standard input and output are terminals, else nullptr:
  // nobody would see a window, so its modal loop gets no input. The desktop
  // is passed over in a build without it; terminals in a build without the
  // terminal backend give nullptr after one line saying so.
  static std::unique_ptr<EventBackend> automatic();

  // The desktop plugin's entry point, an extern "C" function of that name in
  // VelkUpdateReminder/plugins/libVelkAppKitQt.so beside this library: sets
  // `backend` and returns true, or sets `error` to one line saying why no
  // window can be opened.
  using DesktopPluginEntry = bool (*)(std::unique_ptr<EventBackend>& backend, std::string& error);
  static constexpr const char* DesktopPluginEntryName = "velkAppKitDesktopBackend";

 protected:
  // Dispatches a press of `key` (one character, or " ", "\r", "\t",
  // "\x1b"). A letter is upper case exactly when Shift is among the flags (an
  // upper-case letter adds Shift). Returns true.
  static bool typeKey(EventModifierFlags modifierFlags, std::string key);

  // Presses the focused button of `window`; false when its first responder
  // is not a button.
  static bool clickFocusedButton(const std::shared_ptr<Window>& window);

  // What the end of the input does: the first time for a window, a click on
  // its title bar's close button; after that nothing and false, so a window
  // that stays open ends its modal loop.
  bool endOfInput(const std::shared_ptr<Window>& window);

 private:
  std::weak_ptr<Window> closedAtEndOfInput_;
};

}  // namespace appkit
