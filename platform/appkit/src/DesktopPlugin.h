#pragma once

#include <memory>

namespace appkit {

class EventBackend;

// The desktop backend lives in a plugin of its own, libVelkAppKitQt.so beside
// this library, so that only programs that open a real window load Qt.
class DesktopPlugin {
 public:
  DesktopPlugin() = delete;

  // A new desktop backend from the plugin, loaded on first use; nullptr after
  // one line on standard error when the plugin is missing, cannot be loaded
  // or cannot open a window.
  static std::unique_ptr<EventBackend> makeBackend();
};

}  // namespace appkit
