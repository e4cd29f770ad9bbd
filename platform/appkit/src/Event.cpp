#include "appkit/Event.h"

#include <utility>

#include "appkit/Application.h"

namespace appkit {

namespace {

// What addLocalMonitorForEventsMatchingMask hands out.
struct MonitorToken {
  std::uint64_t id;
};

}  // namespace

Event Event::keyEvent(EventModifierFlags modifierFlags, std::string charactersIgnoringModifiers) {
  Event event;
  event.modifierFlags_ = modifierFlags;
  event.charactersIgnoringModifiers_ = std::move(charactersIgnoringModifiers);
  return event;
}

Event Event::mouseEvent(const std::shared_ptr<Window>& window, const std::shared_ptr<View>& view) {
  Event event;
  event.type_ = EventType::LeftMouseDown;
  event.window_ = window;
  event.view_ = view;
  return event;
}

std::any Event::addLocalMonitorForEventsMatchingMask(EventMask mask, MonitorHandler handler) {
  Application& application = Application::shared();
  const std::uint64_t id = ++application.lastMonitorId_;
  application.monitors_.push_back(
      std::make_shared<Application::Monitor>(Application::Monitor{id, mask, std::move(handler)}));
  return MonitorToken{id};
}

void Event::removeMonitor(const std::any& monitor) {
  if (const auto* token = std::any_cast<MonitorToken>(&monitor)) {
    std::erase_if(Application::shared().monitors_,
                  [&](const auto& installed) { return installed->id == token->id; });
  }
}

}  // namespace appkit
