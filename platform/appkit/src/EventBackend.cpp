#include "appkit/EventBackend.h"

#include <unistd.h>

#include <cctype>
#include <cstdlib>
#include <utility>

#include "DesktopPlugin.h"
#include "appkit/Button.h"
#include "appkit/TerminalEventBackend.h"
#include "appkit/TextEventBackend.h"
#include "appkit/Window.h"

namespace appkit {

EventBackend::~EventBackend() = default;

std::unique_ptr<EventBackend> EventBackend::named(std::string_view name) {
  if (name == "text") {
    return std::make_unique<TextEventBackend>();
  }
  if (name == "terminal") {
    return std::make_unique<TerminalEventBackend>();
  }
  if (name == "desktop") {
    return DesktopPlugin::makeBackend();
  }
  return nullptr;
}

std::unique_ptr<EventBackend> EventBackend::automatic() {
  auto named = [](const char* variable) {
    const char* value = std::getenv(variable);  // NOLINT(concurrency-mt-unsafe): main thread
    return value != nullptr && *value != '\0';
  };
  if (named("WAYLAND_DISPLAY") || named("DISPLAY")) {
    if (auto desktop = DesktopPlugin::makeBackend()) {
      return desktop;
    }
  }
  if (::isatty(STDIN_FILENO) == 1 && ::isatty(STDOUT_FILENO) == 1) {
    return std::make_unique<TerminalEventBackend>();
  }
  return nullptr;
}

Event EventBackend::keyPress(EventModifierFlags modifierFlags, std::string key,
                             const std::shared_ptr<Window>& window) {
  std::string characters = key;
  if (key.size() == 1 && std::isalpha(static_cast<unsigned char>(key[0])) != 0) {
    const auto letter = static_cast<unsigned char>(key[0]);
    if (std::isupper(letter) != 0) {
      modifierFlags |= EventModifierFlagShift;
    }
    const bool shift = (modifierFlags & EventModifierFlagShift) != 0;
    key[0] = static_cast<char>(shift ? std::toupper(letter) : std::tolower(letter));
    characters = key;
    if ((modifierFlags & EventModifierFlagControl) != 0) {
      characters[0] = static_cast<char>(std::toupper(letter) - 'A' + 1);
    }
  }
  return Event::keyEvent(modifierFlags, std::move(characters), std::move(key), window);
}

Event EventBackend::closeButtonClick(const std::shared_ptr<Window>& window) {
  return Event::mouseEvent(window, window->standardWindowButton(WindowButton::CloseButton));
}

std::optional<Event> EventBackend::focusedButtonClick(const std::shared_ptr<Window>& window) {
  auto button = std::dynamic_pointer_cast<Button>(window->firstResponder());
  if (button == nullptr) {
    return std::nullopt;
  }
  return Event::mouseEvent(window, button);
}

std::optional<Event> EventBackend::endOfInput(const std::shared_ptr<Window>& window) {
  const bool closedBefore =
      !closedAtEndOfInput_.owner_before(window) && !window.owner_before(closedAtEndOfInput_);
  if (closedBefore) {
    return std::nullopt;
  }
  closedAtEndOfInput_ = window;
  return closeButtonClick(window);
}

}  // namespace appkit
