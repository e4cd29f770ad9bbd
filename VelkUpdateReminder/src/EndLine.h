#pragma once

#include <string_view>

#include "VelkCommon/LogCaller.h"
#include "VelkCommon/Logger.h"

// Writes an operation's END line through `log` when it goes, so that each way
// out of the operation ends with it.
class EndLine {
 public:
  EndLine(const Logger& log, LogCaller caller, std::string_view operation, std::string_view text)
      : log_(log), caller_(caller), operation_(operation), text_(text) {}
  ~EndLine() { log_.debug(text_, caller_, operation_); }
  EndLine(const EndLine&) = delete;
  EndLine& operator=(const EndLine&) = delete;

 private:
  const Logger& log_;
  LogCaller caller_;
  std::string_view operation_;
  std::string_view text_;
};
