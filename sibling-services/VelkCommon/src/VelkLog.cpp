#include "VelkCommon/VelkLog.h"

#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "LogSink.h"
#include "XdgDirectory.h"

Logger VelkLog::getLogger(LogFilePrefix prefix) {
  try {
    // One sink per file for the life of the process; it follows its folder
    // itself, so it never needs replacing.
    static std::mutex mutex;
    static std::map<LogFilePrefix, std::shared_ptr<LogSink>> sinks;
    const std::lock_guard<std::mutex> guard(mutex);
    std::shared_ptr<LogSink>& sink = sinks[prefix];
    if (!sink) {
      sink = std::make_shared<LogSink>(prefix);
    }
    return Logger(sink);
  } catch (...) {
    return Logger(nullptr);  // out of memory: a logger that drops its lines
  }
}

std::string VelkLog::getLogFilePath(LogFilePrefix prefix) {
  return xdgBaseDirectory("XDG_STATE_HOME", ".local/state") + "/velk/logs/" +
         (prefix == LogFilePrefix::VELK_UPDATE_REMINDER
              ? "update-reminder.log"
              : "velk-" + std::to_string(static_cast<int>(prefix)) + ".log");
}
