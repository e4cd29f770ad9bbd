#include "appkit/EventBackend.h"

#include <dlfcn.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <system_error>

#include "appkit/TextEventBackend.h"

namespace appkit {

namespace {

// A new backend from the plugin of the `kind` of window it shows, "desktop"
// (Qt) or "terminal" (ncursesw). A plugin once loaded stays (it is never closed): Qt registers
// handlers that run at exit.
std::unique_ptr<EventBackend> fromPlugin(std::string_view kind) {
  namespace fs = std::filesystem;
  const char* file = kind == "desktop" ? "libVelkAppKitQt.so" : "libVelkAppKitTerminal.so";
  Dl_info self{};
  dladdr(reinterpret_cast<const void*>(&fromPlugin), &self);
  const std::string path = fs::path(self.dli_fname != nullptr ? self.dli_fname : "").parent_path() /
                           "VelkUpdateReminder/plugins" / file;
  std::error_code missing;
  const bool installed = fs::is_regular_file(path, missing);
  void* handle = installed ? dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL) : nullptr;
  const char* reason = handle == nullptr ? dlerror() : nullptr;  // NOLINT(concurrency-mt-unsafe)
  const auto entry = reinterpret_cast<EventBackend::PluginEntry>(
      handle != nullptr ? dlsym(handle, EventBackend::PluginEntryName) : nullptr);
  std::string why = !installed ? path + " is not installed"
                    : handle == nullptr
                        ? "cannot load " + path + ": " + (reason != nullptr ? reason : "")
                        : path + " has no " + EventBackend::PluginEntryName;
  std::unique_ptr<EventBackend> backend;
  if (entry == nullptr || !entry(backend, why)) {
    std::cerr << "appkit: no " << kind << " window: " << why << '\n';
    backend.reset();
  }
  return backend;
}

}  // namespace

std::unique_ptr<EventBackend> EventBackend::named(std::string_view name) {
  if (name == "text") {
    return std::make_unique<TextEventBackend>();
  }
  return name == "terminal" || name == "desktop" ? fromPlugin(name) : nullptr;
}

std::unique_ptr<EventBackend> EventBackend::automatic() {
  auto isSet = [](const char* variable) {
    const char* value = std::getenv(variable);  // NOLINT(concurrency-mt-unsafe): main thread
    return value != nullptr && *value != '\0';
  };
  if (isSet("WAYLAND_DISPLAY") || isSet("DISPLAY")) {
    if (auto desktop = named("desktop")) {
      return desktop;
    }
  }
  const bool terminal = ::isatty(STDIN_FILENO) == 1 && ::isatty(STDOUT_FILENO) == 1;
  return terminal ? named("terminal") : nullptr;
}

}  // namespace appkit
