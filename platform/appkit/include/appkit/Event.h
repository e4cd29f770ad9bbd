#pragma once

#include <any>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "appkit/AppKitExport.h"

namespace appkit {

class View;
class Window;

enum class EventType : std::uint64_t { LeftMouseDown = 1, KeyDown = 10 };

// Sets of event types: bit n stands for the type with raw value n.
using EventMask = std::uint64_t;
inline constexpr EventMask EventMaskLeftMouseDown = 1ULL << 1;
inline constexpr EventMask EventMaskKeyDown = 1ULL << 10;

// Modifier keys held during a key press.
using EventModifierFlags = std::uint64_t;
inline constexpr EventModifierFlags EventModifierFlagShift = 1ULL << 17;
inline constexpr EventModifierFlags EventModifierFlagControl = 1ULL << 18;
inline constexpr EventModifierFlags EventModifierFlagOption = 1ULL << 19;
inline constexpr EventModifierFlags EventModifierFlagCommand = 1ULL << 20;

// One user input: a key press or a mouse press. The application dispatches
// it, first to the local monitors, then to a window.
class VELKAPPKIT_EXPORT Event {
 public:
  // Gets each matching event before it is dispatched. Returns the event to
  // dispatch (the same one or another), or nullopt to swallow it.
  using MonitorHandler = std::function<std::optional<Event>(const Event& event)>;

  // A key press for the key window. `charactersIgnoringModifiers` is what
  // the key types without the modifiers' effect except Shift's ("C" for
  // Option+Shift+C).
  static Event keyEvent(EventModifierFlags modifierFlags, std::string charactersIgnoringModifiers);

  // A left mouse press on `view` (a control such as a button) in `window`.
  static Event mouseEvent(const std::shared_ptr<Window>& window, const std::shared_ptr<View>& view);

  EventType type() const { return type_; }
  EventModifierFlags modifierFlags() const { return modifierFlags_; }
  const std::string& charactersIgnoringModifiers() const { return charactersIgnoringModifiers_; }
  // The window and the view a mouse event is for; nullptr for key events.
  std::shared_ptr<Window> window() const { return window_.lock(); }
  std::shared_ptr<View> view() const { return view_.lock(); }

  // Installs `handler` for the events of the types in `mask` that the
  // application dispatches from now on, after the monitors installed before
  // it. Returns the monitor's token, for removeMonitor(). The handler (and
  // all it holds) is kept until the monitor is removed.
  static std::any addLocalMonitorForEventsMatchingMask(EventMask mask, MonitorHandler handler);

  // Removes the monitor whose token is `monitor`; does nothing for any other
  // value, or a monitor removed already.
  static void removeMonitor(const std::any& monitor);

 private:
  Event() = default;

  EventType type_ = EventType::KeyDown;
  EventModifierFlags modifierFlags_ = 0;
  std::string charactersIgnoringModifiers_;
  std::weak_ptr<Window> window_;
  std::weak_ptr<View> view_;
};

}  // namespace appkit
