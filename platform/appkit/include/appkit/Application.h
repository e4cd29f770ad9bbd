#pragma once

#include <any>
#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <vector>

#include "appkit/AppKitExport.h"
#include "appkit/Event.h"
#include "appkit/Selector.h"

namespace appkit {

class EventBackend;
class Object;
class Window;

// How a modal loop ended.
using ModalResponse = std::int64_t;
inline constexpr ModalResponse ModalResponseStop = -1000;   // stopModal()
inline constexpr ModalResponse ModalResponseAbort = -1001;  // no input left

// The application: its windows, its event loop and its local event monitors.
// There is one, Application::shared(); it is used from the main thread only.
// Input comes from the events posted with postEvent() and, when those run
// out, from the event backend the host installs (text or terminal), which
// also draws the windows.
class VELKAPPKIT_EXPORT Application {
 public:
  static Application& shared();

  Application(const Application&) = delete;
  Application& operator=(const Application&) = delete;

  // Installs the backend that draws windows and reads input, replacing (and
  // destroying) the previous one; nullptr leaves posted events as the only
  // input and draws nothing. An application whose host never installs one
  // takes EventBackend::automatic() when its first modal loop starts.
  void setEventBackend(std::unique_ptr<EventBackend> backend);
  EventBackend* eventBackend() const { return backend_.get(); }

  // Puts `window` on screen as the key window and runs a modal loop for it:
  // takes the next event (posted ones first, then the backend's) and
  // dispatches it with sendEvent(), until stopModal() is called (also from
  // inside a handler). Returns ModalResponseStop then, or ModalResponseAbort
  // at once for nullptr or when no input is left. The window stays on screen.
  ModalResponse runModalForWindow(const std::shared_ptr<Window>& window);

  // Ends the innermost running modal loop once the current event has been
  // handled. Does nothing when no modal loop runs.
  void stopModal();

  // The window of the innermost running modal loop; nullptr when none.
  std::shared_ptr<Window> modalWindow() const;

  // Ends the process with status 0, after the backend has restored the
  // terminal. Does not return.
  [[noreturn]] void terminate(const std::any& sender);

  // The window that receives key presses; nullptr when none.
  std::shared_ptr<Window> keyWindow() const { return keyWindow_.lock(); }

  // Queues `event` for the event loop, at the front or the back.
  void postEvent(const Event& event, bool atStart);

  // Dispatches `event`: the local monitors for its type see it first, in
  // the order they were installed, and each may change or swallow it; then a
  // key press goes to the key window and a mouse press to its event's window.
  // While a modal loop runs, events for other windows are dropped.
  void sendEvent(const Event& event);

  // Sends `action` with `sender` to `target`; to the key window's first
  // responder chain when `target` is nullptr. Returns true when some object
  // ran it.
  bool sendAction(const Selector& action, const std::shared_ptr<Object>& target,
                  const std::any& sender) const;

 private:
  friend class Event;
  friend class Window;

  struct Monitor;
  struct ModalSession {
    std::weak_ptr<Window> window;
    bool stopped = false;
  };

  Application();
  ~Application();

  std::any addMonitor(EventMask mask, Event::MonitorHandler handler);
  void removeMonitor(const std::any& token);
  std::optional<Event> nextEvent(const std::shared_ptr<Window>& window);

  // Window bookkeeping, from Window.
  void makeKeyWindow(const std::shared_ptr<Window>& window) { keyWindow_ = window; }
  void displayWindow(Window& window);
  void windowDidOrderOut(Window& window);

  std::unique_ptr<EventBackend> backend_;
  bool backendInstalled_ = false;
  std::deque<Event> queue_;
  std::vector<std::shared_ptr<Monitor>> monitors_;
  std::uint64_t lastMonitorId_ = 0;
  std::vector<ModalSession> sessions_;
  std::weak_ptr<Window> keyWindow_;
};

}  // namespace appkit
