#pragma once

#include <any>
#include <functional>

#include "appkit/Event.h"

namespace velktest {

// A local event monitor of the application, installed for the object's
// lifetime. Monitors see events in the order they were installed, so one made
// before a window's own sees the window's events first.
class ScopedMonitor {
 public:
  explicit ScopedMonitor(appkit::Event::MonitorHandler handler,
                         appkit::EventMask mask = appkit::EventMaskKeyDown |
                                                  appkit::EventMaskLeftMouseDown);
  ~ScopedMonitor();
  ScopedMonitor(const ScopedMonitor&) = delete;
  ScopedMonitor& operator=(const ScopedMonitor&) = delete;

 private:
  std::any token_;
};

// A monitor that runs `action` once, when the first key press or click
// arrives (i.e. while a modal window is up), and passes every event on.
ScopedMonitor onFirstEvent(std::function<void()> action);

}  // namespace velktest
