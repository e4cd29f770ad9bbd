#include "DisplayProbe.h"

#include <xcb/xcb.h>

#include <QLibraryInfo>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string_view>

namespace {

std::string environment(const char* name) {
  const char* value = std::getenv(name);  // NOLINT(concurrency-mt-unsafe): main thread
  return value != nullptr ? value : "";
}

// True when the X server of $DISPLAY accepts a connection.
bool xServerAnswers() {
  struct Disconnect {
    void operator()(xcb_connection_t* connection) const { xcb_disconnect(connection); }
  };
  const std::unique_ptr<xcb_connection_t, Disconnect> connection(xcb_connect(nullptr, nullptr));
  return connection != nullptr && xcb_connection_has_error(connection.get()) == 0;
}

// True when $WAYLAND_DISPLAY names a compositor's socket and Qt has its
// Wayland platform plugin.
bool waylandAnswers() {
  std::filesystem::path socket = environment("WAYLAND_DISPLAY");
  if (socket.is_relative()) {
    socket = std::filesystem::path(environment("XDG_RUNTIME_DIR")) / socket;
  }
  const std::filesystem::path platforms =
      QLibraryInfo::path(QLibraryInfo::PluginsPath).toStdString() + "/platforms";
  std::error_code error;
  return std::filesystem::is_socket(socket, error) &&
         std::filesystem::exists(platforms / "libqwayland-generic.so", error);
}

}  // namespace

std::optional<std::string> DisplayProbe::platform(std::string& error) {
  const std::string chosen = environment("QT_QPA_PLATFORM");
  const std::string_view name = std::string_view(chosen).substr(0, chosen.find_first_of(":;"));
  const std::string x11 = environment("DISPLAY");
  const std::string wayland = environment("WAYLAND_DISPLAY");
  if (!chosen.empty()) {
    if ((name == "xcb" && !xServerAnswers()) || (name == "wayland" && !waylandAnswers())) {
      error = "QT_QPA_PLATFORM=" + chosen + " but its display cannot be opened";
      return std::nullopt;
    }
    return "";
  }
  // A desktop that offers both is a Wayland one; should the compositor
  // refuse Qt after all, Qt goes on to the next platform in the list.
  if (!wayland.empty() && waylandAnswers()) {
    return x11.empty() ? "wayland" : "wayland;xcb";
  }
  if (!x11.empty() && xServerAnswers()) {
    return "xcb";
  }
  error = "cannot open the display (DISPLAY=" + x11 + ", WAYLAND_DISPLAY=" + wayland + ")";
  return std::nullopt;
}
