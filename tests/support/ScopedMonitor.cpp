#include "support/ScopedMonitor.h"

#include <memory>
#include <utility>

namespace velktest {

ScopedMonitor::ScopedMonitor(appkit::Event::MonitorHandler handler, appkit::EventMask mask)
    : token_(appkit::Event::addLocalMonitorForEventsMatchingMask(mask, std::move(handler))) {}

ScopedMonitor::~ScopedMonitor() { appkit::Event::removeMonitor(token_); }

ScopedMonitor onFirstEvent(std::function<void()> action) {
  auto pending = std::make_shared<std::function<void()>>(std::move(action));
  return ScopedMonitor([pending](const appkit::Event& event) -> std::optional<appkit::Event> {
    if (*pending) {
      auto run = std::exchange(*pending, nullptr);
      run();
    }
    return event;
  });
}

}  // namespace velktest
