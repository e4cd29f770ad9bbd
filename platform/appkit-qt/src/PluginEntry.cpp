// The plugin's entry point, looked up by name when VelkAppKit loads it.

#include <QApplication>
#include <exception>
#include <memory>
#include <string>

#include "DisplayProbe.h"
#include "QtEventBackend.h"
#include "appkit/EventBackend.h"

extern "C" Q_DECL_EXPORT bool velkAppKitBackend(std::unique_ptr<appkit::EventBackend>& backend,
                                                std::string& error) {
  static_assert(std::is_same_v<decltype(&velkAppKitBackend), appkit::EventBackend::PluginEntry>);
  try {
    if (QCoreApplication::instance() != nullptr) {
      if (qobject_cast<QApplication*>(QCoreApplication::instance()) == nullptr) {
        error = "the program's Qt application cannot show widgets (not a QApplication)";
        return false;
      }
      backend = std::make_unique<QtEventBackend>("");
      return true;
    }
    const std::optional<std::string> platform = DisplayProbe::platform(error);
    if (!platform) {
      return false;
    }
    backend = std::make_unique<QtEventBackend>(*platform);
    return true;
  } catch (const std::exception& failure) {
    error = failure.what();
  } catch (...) {
    error = "unexpected failure in the desktop plugin";
  }
  return false;
}
