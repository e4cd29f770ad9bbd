#include "appkit/Event.h"

#include <utility>

#include "appkit/Application.h"
#include "appkit/View.h"
#include "appkit/Window.h"

namespace appkit {

EventMask EventMaskFromType(EventType type) {
  return EventMask{1} << static_cast<std::uint64_t>(type);
}

Event Event::keyEvent(EventModifierFlags modifierFlags, std::string characters,
                      std::string charactersIgnoringModifiers,
                      const std::shared_ptr<Window>& window) {
  Event event;
  event.type_ = EventType::KeyDown;
  event.modifierFlags_ = modifierFlags;
  event.characters_ = std::move(characters);
  event.charactersIgnoringModifiers_ = std::move(charactersIgnoringModifiers);
  event.window_ = window;
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
  return Application::shared().addMonitor(mask, std::move(handler));
}

void Event::removeMonitor(const std::any& monitor) { Application::shared().removeMonitor(monitor); }

}  // namespace appkit
