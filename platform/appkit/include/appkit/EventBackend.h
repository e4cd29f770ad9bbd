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

  // Waits for the user's next input to the modal `window` and returns it as
  // an event; nullopt when no input will ever come again.
  virtual std::optional<Event> nextEvent(const std::shared_ptr<Window>& window) = 0;

  // A new backend by name: "text" (standard input and output), "terminal"
  // (full screen) or "desktop" (a real window, from the desktop plugin);
  // nullptr for other names, and for "desktop" when no window can be opened
  // (after one line on standard error saying why).
  static std::unique_ptr<EventBackend> named(std::string_view name);

  // The backend for a user who did not pick one: "desktop" when a display is
  // named (WAYLAND_DISPLAY or DISPLAY) and the desktop plugin opens it, else
  // "terminal" when standard input and output are terminals, else nullptr:
  // nobody would see a window, so its modal loop gets no input.
  static std::unique_ptr<EventBackend> automatic();

  // The desktop plugin's entry point, an extern "C" function of that name in
  // libVelkAppKitQt.so beside this library: sets `backend` and returns true,
  // or sets `error` to one line saying why no window can be opened.
  using DesktopPluginEntry = bool (*)(std::unique_ptr<EventBackend>& backend, std::string& error);
  static constexpr const char* DesktopPluginEntryName = "velkAppKitDesktopBackend";

 protected:
  // A press of `key` (one character, or " ", "\r", "\t", "\x1b") for the key
  // window. A letter is upper case exactly when Shift is among the flags (an
  // upper-case letter adds Shift).
  static Event keyPress(EventModifierFlags modifierFlags, std::string key);

  // A click on the title bar's close button of `window`.
  static Event closeButtonClick(const std::shared_ptr<Window>& window);

  // A click on the focused button of `window`; nullopt when its first
  // responder is not a button.
  static std::optional<Event> focusedButtonClick(const std::shared_ptr<Window>& window);

  // What the end of the input does: the first time for a window, a click on
  // its close button; after that nullopt, so a window that stays open ends its
  // modal loop.
  std::optional<Event> endOfInput(const std::shared_ptr<Window>& window);

 private:
  std::weak_ptr<Window> closedAtEndOfInput_;
};

}  // namespace appkit
