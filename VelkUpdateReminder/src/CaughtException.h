#pragma once

#include <string_view>

#include "VelkCommon/LogCaller.h"
#include "VelkCommon/Logger.h"

// The exception being handled, put into the log. Used in catch blocks only.
class CaughtException {
 public:
  // Logs with `error` the line "exception = " and what the exception says
  // (for a VelkException also where it arose). Never throws: a line that
  // cannot be built for want of memory is dropped.
  static void log(const Logger& logger, LogCaller caller, std::string_view operation) noexcept;
};
