#pragma once

#include <any>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>

#include "appkit/AppKitExport.h"

namespace appkit {

// Sets of event types: bit n stands for the type with raw value n; the key
// press, raw value 10, is the only type there is.
using EventMask = std::uint64_t;
inline constexpr EventMask EventMaskKeyDown = 1ULL << 10;

// Modifier keys held during a key press.
using EventModifierFlags = std::uint64_t;
inline constexpr EventModifierFlags EventModifierFlagShift = 1ULL << 17;
inline constexpr EventModifierFlags EventModifierFlagControl = 1ULL << 18;
inline constexpr EventModifierFlags EventModifierFlagOption = 1ULL << 19;
inline constexpr EventModifierFlags EventModifierFlagCommand = 1ULL << 20;

// A key press for the key window. The application dispatches it, first to
// the local monitors, then to the window.
class VELKAPPKIT_EXPORT Event {
 public:
  // Gets each key press before it is dispatched. Returns the event to
  // dispatch (the same one or another), or nullopt to swallow it.
  using MonitorHandler = std::function<std::optional<Event>(const Event& event)>;

  // A key press. `characters` is what the key types without the modifiers'
  // effect except Shift's ("C" for Option+Shift+C).
  Event(EventModifierFlags modifierFlags, std::string characters)
      : modifierFlags_(modifierFlags), charactersIgnoringModifiers_(std::move(characters)) {}

  EventModifierFlags modifierFlags() const { return modifierFlags_; }
  const std::string& charactersIgnoringModifiers() const { return charactersIgnoringModifiers_; }

  // Installs `handler` for the key presses (when `mask` has
  // EventMaskKeyDown) that the application dispatches from now on, after
  // the monitors installed before it. Returns the monitor's token, for
  // removeMonitor(). The handler (and all it holds) is kept until then.
  static std::any addLocalMonitorForEventsMatchingMask(EventMask mask, MonitorHandler handler);

  // Removes the monitor whose token is `monitor`; does nothing for any other
  // value, or a monitor removed already.
  static void removeMonitor(const std::any& monitor);

 private:
  EventModifierFlags modifierFlags_ = 0;
  std::string charactersIgnoringModifiers_;
};

}  // namespace appkit
