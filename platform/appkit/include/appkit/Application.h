#pragma once

#include <any>
#include <cstdint>
#include <map>
#include <memory>

#include "appkit/AppKitExport.h"
#include "appkit/Event.h"
#include "appkit/EventBackend.h"

namespace appkit {

class Window;

// How a modal loop ended.
using ModalResponse = std::int64_t;
inline constexpr ModalResponse ModalResponseStop = -1000;   // stopModal()
inline constexpr ModalResponse ModalResponseAbort = -1001;  // no input left

// The application: its key window, its modal loop and its local event
// monitors. There is one, Application::shared(), used from the main thread
// only. The event backend the host installs draws the windows and turns the
// user's input into events.
class VELKAPPKIT_EXPORT Application {
 public:
  static Application& shared();

  Application(const Application&) = delete;
  Application& operator=(const Application&) = delete;

  // Installs the backend, replacing (and destroying) the previous one;
  // nullptr draws nothing and gives no input. An application whose host
  // never installs one takes EventBackend::automatic() when its first modal
  // loop starts.
  void setEventBackend(std::unique_ptr<EventBackend> backend);

  // Puts `window` on screen as the key window and handles the backend's
  // input until stopModal() is called: a key press goes to sendEvent() (a
  // letter upper case exactly when Shift is held; an upper-case letter adds
  // Shift), a button press presses the window's focused button, the title
  // bar's close button is the window's performClose(). The end of the input
  // is that close button, once; after that, or when no backend could show
  // the window, no input is left. Returns ModalResponseStop, or
  // ModalResponseAbort when no input is left. The window stays on screen.
  ModalResponse runModalForWindow(const std::shared_ptr<Window>& window);

  // Ends the running modal loop once the current event has been handled.
  void stopModal() { stopped_ = true; }

  // Ends the process with status 0, after the backend has given the
  // terminal back. Does not return.
  [[noreturn]] void terminate(const std::any& sender);

  // The window that receives key presses; nullptr when none.
  std::shared_ptr<Window> keyWindow() const { return keyWindow_.lock(); }

  // Dispatches a key press: the local monitors see it first, in the order
  // they were installed, and each may change or swallow it; then it goes to
  // the key window.
  void sendEvent(const Event& event);

 private:
  friend class Event;
  friend class Window;

  Application() = default;

  std::unique_ptr<EventBackend> backend_;
  bool backendInstalled_ = false;
  bool windowShown_ = false;  // the backend drew the last window put on screen
  bool stopped_ = false;
  std::map<std::uint64_t, Event::MonitorHandler> monitors_;  // by token: in the order installed
  std::uint64_t lastMonitorId_ = 0;
  std::weak_ptr<Window> keyWindow_;
};

}  // namespace appkit
