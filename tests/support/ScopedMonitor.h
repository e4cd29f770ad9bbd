#pragma once

#include <any>

#include "appkit/Event.h"

namespace velktest {

// A local monitor of the application's key presses, installed for the
// object's lifetime. Monitors see key presses in the order they were
// installed, so one made before a window's own sees them first.
class ScopedMonitor {
 public:
  explicit ScopedMonitor(appkit::Event::MonitorHandler handler)
      : token_(appkit::Event::addLocalMonitorForEventsMatchingMask(appkit::EventMaskKeyDown,
                                                                   std::move(handler))) {}
  ~ScopedMonitor() { appkit::Event::removeMonitor(token_); }
  ScopedMonitor(const ScopedMonitor&) = delete;
  ScopedMonitor& operator=(const ScopedMonitor&) = delete;

 private:
  std::any token_;
};

}  // namespace velktest
