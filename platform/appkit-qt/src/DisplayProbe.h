#pragma once

#include <optional>
#include <string>

// Finds out, before any QApplication exists, whether Qt can open a window:
// QApplication ends the process when its platform cannot start.
class DisplayProbe {
 public:
  DisplayProbe() = delete;

  // The Qt platform to start: "" to leave the choice to Qt (QT_QPA_PLATFORM
  // names one that needs no display server, such as "offscreen"), "xcb",
  // "wayland", or "wayland;xcb" (Wayland first, X when Qt cannot start on
  // it). nullopt, with `error` set to one line, when no display server
  // named by the environment accepts a connection.
  static std::optional<std::string> platform(std::string& error);
};
