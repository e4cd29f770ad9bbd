#include "appkit/Event.h"

#include <utility>

#include "appkit/Application.h"

namespace appkit {

std::any Event::addLocalMonitorForEventsMatchingMask(EventMask mask, MonitorHandler handler) {
  Application& application = Application::shared();
  const std::uint64_t id = ++application.lastMonitorId_;
  if ((mask & EventMaskKeyDown) != 0) {
    application.monitors_.emplace(id, std::move(handler));
  }
  return id;
}

void Event::removeMonitor(const std::any& monitor) {
  if (const auto* id = std::any_cast<std::uint64_t>(&monitor)) {
    Application::shared().monitors_.erase(*id);
  }
}

}  // namespace appkit
