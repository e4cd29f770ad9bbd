#pragma once

#include <memory>
#include <string_view>
#include <utility>

#include "VelkCommon/LogCaller.h"
#include "VelkCommon/VelkCommonExport.h"

class LogSink;

// A handle on one log file, cheap to copy. Every operation writes one line
//   yyyy-MM-dd HH:mm:ss.SSS LEVEL pid:tid Class.operation |message
// (local time) in a single write(2) to the log file. In the message,
// backslash, line feed, carriage return and tab are written \\, \n, \r and
// \t, and each byte that is not part of well-formed UTF-8 as \xNN, so every
// message stays on its line and the file stays UTF-8. The operations never
// throw and never fail their caller: a line that cannot be written is dropped.
class VELKCOMMON_EXPORT Logger {
 public:
  // A logger writing to `sink`; a null sink drops every line.
  explicit Logger(std::shared_ptr<LogSink> sink) : sink_(std::move(sink)) {}

  // An ordinary trace line.
  void debug(std::string_view message, LogCaller caller,
             std::string_view operation) const noexcept {
    write("DEBUG", message, caller, operation);
  }
  // A failure the caller handles.
  void error(std::string_view message, LogCaller caller,
             std::string_view operation) const noexcept {
    write("ERROR", message, caller, operation);
  }
  // A failure that ends the caller's operation.
  void fatal(std::string_view message, LogCaller caller,
             std::string_view operation) const noexcept {
    write("FATAL", message, caller, operation);
  }

 private:
  void write(std::string_view level, std::string_view message, LogCaller caller,
             std::string_view operation) const noexcept;

  std::shared_ptr<LogSink> sink_;
};
