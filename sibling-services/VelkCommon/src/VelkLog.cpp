#include "VelkCommon/VelkLog.h"

#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "LogSink.h"

namespace {

// The log file name of each member of the family.
std::string fileNameOf(LogFilePrefix prefix) {
  switch (prefix) {
    case LogFilePrefix::VELK_COMMON:
      return "velk-common.log";
    case LogFilePrefix::VELK_CARD_READER:
      return "card-reader.log";
    case LogFilePrefix::VELK_USER_CERT_SERVICE:
      return "user-cert-service.log";
    case LogFilePrefix::VELK_JPKI_SERVICE:
      return "jpki-service.log";
    case LogFilePrefix::VELK_SIGN:
      return "sign.log";
    case LogFilePrefix::VELK_VERIFY:
      return "verify.log";
    case LogFilePrefix::VELK_PIN:
      return "pin.log";
    case LogFilePrefix::VELK_VIEWER:
      return "viewer.log";
    case LogFilePrefix::VELK_SETTINGS:
      return "settings.log";
    case LogFilePrefix::VELK_INSTALLER:
      return "installer.log";
    case LogFilePrefix::VELK_UPDATE_REMINDER:
      return "update-reminder.log";
  }
  return "velk-" + std::to_string(static_cast<int>(prefix)) + ".log";
}

}  // namespace

Logger VelkLog::getLogger(LogFilePrefix prefix) {
  try {
    // One sink per file for the life of the process; it finds its folder
    // anew on every line, so it never needs replacing.
    static std::mutex mutex;
    static std::map<LogFilePrefix, std::shared_ptr<LogSink>> sinks;
    const std::lock_guard<std::mutex> guard(mutex);
    std::shared_ptr<LogSink>& sink = sinks[prefix];
    if (!sink) {
      sink = std::make_shared<LogSink>(fileNameOf(prefix));
    }
    return Logger(sink);
  } catch (...) {
    return Logger(nullptr);  // out of memory: a logger that drops its lines
  }
}
