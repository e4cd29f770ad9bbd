#include "appkit/EventBackend.h"

#include <dlfcn.h>
#include <unistd.h>

#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <system_error>
#include <utility>

#include "appkit/Application.h"
#include "appkit/Button.h"
#include "appkit/TextEventBackend.h"
#ifdef VELK_WITH_TERMINAL
#include "TerminalEventBackend.h"
#endif
#include "appkit/Window.h"

namespace appkit {

namespace {

#ifdef VELK_WITH_QT
constexpr bool kWithDesktop = true;
#else
constexpr bool kWithDesktop = false;
#endif

// The terminal window; nullptr, after a line saying so, in a build without it.
std::unique_ptr<EventBackend> terminalBackend() {
#ifdef VELK_WITH_TERMINAL
  return std::make_unique<TerminalEventBackend>();
#else
  std::cerr << "appkit: no terminal window: this build has none\n";
  return nullptr;
#endif
}

// The desktop backend lives in the plugin libVelkAppKitQt.so in the private
// folder VelkUpdateReminder/plugins beside this library, so that only
// programs that open a real window load Qt. It is loaded once and stays: Qt
// registers handlers that run at exit.
std::unique_ptr<EventBackend> desktopBackend() {
  static std::string error;
  static const auto entry = []() -> EventBackend::DesktopPluginEntry {
    Dl_info self{};
    dladdr(reinterpret_cast<const void*>(&desktopBackend), &self);
    const std::string path =
        std::filesystem::path(self.dli_fname != nullptr ? self.dli_fname : "").parent_path() /
        "VelkUpdateReminder/plugins/libVelkAppKitQt.so";
    std::error_code missing;
    void* handle = std::filesystem::is_regular_file(path, missing)
                       ? dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL)
                       : nullptr;
    void* found = handle != nullptr ? dlsym(handle, EventBackend::DesktopPluginEntryName) : nullptr;
    const char* reason = handle == nullptr ? dlerror() : nullptr;  // NOLINT(concurrency-mt-unsafe)
    error = !std::filesystem::is_regular_file(path, missing) ? path + " is not installed"
            : handle == nullptr ? "cannot load " + path + ": " + (reason != nullptr ? reason : "")
                                : path + " has no " + EventBackend::DesktopPluginEntryName;
    return reinterpret_cast<EventBackend::DesktopPluginEntry>(found);
  }();
  std::string why = error;
  std::unique_ptr<EventBackend> backend;
  if (entry == nullptr || !entry(backend, why)) {
    std::cerr << "appkit: no desktop window: " << why << '\n';
    backend.reset();
  }
  return backend;
}

}  // namespace

std::unique_ptr<EventBackend> EventBackend::named(std::string_view name) {
  if (name == "text") {
    return std::make_unique<TextEventBackend>();
  }
  if (name == "terminal") {
    return terminalBackend();
  }
  if (name == "desktop" && !kWithDesktop) {
    std::cerr << "appkit: no desktop window: this build has none\n";
    return nullptr;
  }
  return name == "desktop" ? desktopBackend() : nullptr;
}

std::unique_ptr<EventBackend> EventBackend::automatic() {
  auto named = [](const char* variable) {
    const char* value = std::getenv(variable);  // NOLINT(concurrency-mt-unsafe): main thread
    return value != nullptr && *value != '\0';
  };
  if (kWithDesktop && (named("WAYLAND_DISPLAY") || named("DISPLAY"))) {
    if (auto desktop = desktopBackend()) {
      return desktop;
    }
  }
  if (::isatty(STDIN_FILENO) == 1 && ::isatty(STDOUT_FILENO) == 1) {
    return terminalBackend();
  }
  return nullptr;
}

bool EventBackend::typeKey(EventModifierFlags modifierFlags, std::string key) {
  if (key.size() == 1 && std::isalpha(static_cast<unsigned char>(key[0])) != 0) {
    const auto letter = static_cast<unsigned char>(key[0]);
    if (std::isupper(letter) != 0) {
      modifierFlags |= EventModifierFlagShift;
    }
    const bool shift = (modifierFlags & EventModifierFlagShift) != 0;
    key[0] = static_cast<char>(shift ? std::toupper(letter) : std::tolower(letter));
  }
  Application::shared().sendEvent(Event::keyEvent(modifierFlags, std::move(key)));
  return true;
}

bool EventBackend::clickFocusedButton(const std::shared_ptr<Window>& window) {
  auto button = std::dynamic_pointer_cast<Button>(window->firstResponder());
  if (button != nullptr) {
    button->press();
  }
  return button != nullptr;
}

bool EventBackend::endOfInput(const std::shared_ptr<Window>& window) {
  if (closedAtEndOfInput_.lock() == window) {
    return false;
  }
  closedAtEndOfInput_ = window;
  window->performClose();
  return true;
}

}  // namespace appkit
