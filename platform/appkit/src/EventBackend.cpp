#include "appkit/EventBackend.h"

#include <dlfcn.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <map>
#include <system_error>

#include "appkit/TextEventBackend.h"

namespace appkit {

namespace {

// A new backend from the plugin `file`, the `kind` of window it shows. Each
// plugin is loaded once and stays: Qt registers handlers that run at exit.
std::unique_ptr<EventBackend> fromPlugin(const std::string& file, const char* kind) {
  struct Plugin {
    EventBackend::PluginEntry entry = nullptr;
    std::string error;
  };
  static std::map<std::string, Plugin> plugins;
  auto [plugin, fresh] = plugins.try_emplace(file);
  if (fresh) {
    Dl_info self{};
    dladdr(reinterpret_cast<const void*>(&fromPlugin), &self);
    const std::string path =
        std::filesystem::path(self.dli_fname != nullptr ? self.dli_fname : "").parent_path() /
        "VelkUpdateReminder/plugins" / file;
    std::error_code missing;
    void* handle = std::filesystem::is_regular_file(path, missing)
                       ? dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL)
                       : nullptr;
    const char* reason = handle == nullptr ? dlerror() : nullptr;  // NOLINT(concurrency-mt-unsafe)
    plugin->second.entry = reinterpret_cast<EventBackend::PluginEntry>(
        handle != nullptr ? dlsym(handle, EventBackend::PluginEntryName) : nullptr);
    plugin->second.error =
        !std::filesystem::is_regular_file(path, missing) ? path + " is not installed"
        : handle == nullptr ? "cannot load " + path + ": " + (reason != nullptr ? reason : "")
                            : path + " has no " + EventBackend::PluginEntryName;
  }
  std::string why = plugin->second.error;
  std::unique_ptr<EventBackend> backend;
  if (plugin->second.entry == nullptr || !plugin->second.entry(backend, why)) {
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
  if (name == "terminal") {
    return fromPlugin("libVelkAppKitTerminal.so", "terminal");
  }
  return name == "desktop" ? fromPlugin("libVelkAppKitQt.so", "desktop") : nullptr;
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
  if (::isatty(STDIN_FILENO) == 1 && ::isatty(STDOUT_FILENO) == 1) {
    return named("terminal");
  }
  return nullptr;
}

}  // namespace appkit
