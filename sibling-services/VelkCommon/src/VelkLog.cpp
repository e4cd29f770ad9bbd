#include "VelkCommon/VelkLog.h"

#include <array>
#include <cstddef>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "LogSink.h"

namespace {

// The log file name of each member of the family, in the order of LogFilePrefix.
constexpr std::array<std::string_view, 11> kFileNames = {
    "velk-common.log",        // VELK_COMMON
    "card-reader.log",        // VELK_CARD_READER
    "user-cert-service.log",  // VELK_USER_CERT_SERVICE
    "jpki-service.log",       // VELK_JPKI_SERVICE
    "sign.log",               // VELK_SIGN
    "verify.log",             // VELK_VERIFY
    "pin.log",                // VELK_PIN
    "viewer.log",             // VELK_VIEWER
    "settings.log",           // VELK_SETTINGS
    "installer.log",          // VELK_INSTALLER
    "update-reminder.log",    // VELK_UPDATE_REMINDER
};
static_assert(kFileNames.size() ==
                  static_cast<std::size_t>(LogFilePrefix::VELK_UPDATE_REMINDER) + 1,
              "one file name for each member of the family");

std::string fileNameOf(LogFilePrefix prefix) {
  const auto index = static_cast<std::size_t>(prefix);
  if (index < kFileNames.size()) {
    return std::string(kFileNames[index]);
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
