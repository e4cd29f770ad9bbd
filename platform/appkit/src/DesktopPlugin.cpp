#include "DesktopPlugin.h"

#include <dlfcn.h>

#include <filesystem>
#include <iostream>
#include <string>
#include <system_error>

#include "appkit/Bundle.h"
#include "appkit/EventBackend.h"

namespace appkit {

namespace {

namespace fs = std::filesystem;

constexpr const char* kPluginFile = "libVelkAppKitQt.so";

// The plugin's entry point, or nullptr after setting `error`. The plugin is
// loaded once and stays for the life of the process: Qt registers handlers
// that run at exit and cannot be unloaded.
EventBackend::DesktopPluginEntry loadEntry(std::string& error) {
  static EventBackend::DesktopPluginEntry entry = nullptr;
  static std::string loadError;
  static bool tried = false;
  if (!tried) {
    tried = true;
    auto bundle = Bundle::forAddress(reinterpret_cast<const void*>(&DesktopPlugin::makeBackend));
    const fs::path path =
        fs::path(bundle != nullptr ? bundle->executablePath() : std::string()).parent_path() /
        kPluginFile;
    std::error_code missing;
    if (!fs::is_regular_file(path, missing)) {
      loadError = path.string() + " is not installed";
    } else if (void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL)) {
      entry = reinterpret_cast<EventBackend::DesktopPluginEntry>(
          dlsym(handle, EventBackend::DesktopPluginEntryName));
      if (entry == nullptr) {
        loadError = path.string() + " has no " + EventBackend::DesktopPluginEntryName;
      }
    } else {
      const char* reason = dlerror();  // NOLINT(concurrency-mt-unsafe): main thread
      loadError = "cannot load " + path.string() + ": " + (reason != nullptr ? reason : "");
    }
  }
  error = loadError;
  return entry;
}

}  // namespace

std::unique_ptr<EventBackend> DesktopPlugin::makeBackend() {
  std::string error;
  std::unique_ptr<EventBackend> backend;
  const EventBackend::DesktopPluginEntry entry = loadEntry(error);
  if (entry != nullptr && !entry(backend, error)) {
    backend.reset();
  }
  if (backend == nullptr) {
    std::cerr << "appkit: no desktop window: " << error << '\n';
  }
  return backend;
}

}  // namespace appkit
