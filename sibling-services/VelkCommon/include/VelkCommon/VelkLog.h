#pragma once

#include <string>

#include "VelkCommon/LogFilePrefix.h"
#include "VelkCommon/Logger.h"
#include "VelkCommon/VelkCommonExport.h"

class VELKCOMMON_EXPORT VelkLog {
 public:
  VelkLog() = delete;

  // The logger of the given member of the family. Loggers of one prefix share
  // one file in $XDG_STATE_HOME/velk/logs (~/.local/state when XDG_STATE_HOME
  // is unset or empty): update-reminder.log for the update reminder,
  // velk-<ordinal>.log for the others. The folder is made on the first line
  // written. Never throws; a logger whose file cannot be opened drops lines.
  static Logger getLogger(LogFilePrefix prefix);

  // The path of that file as the environment names it now. Creates nothing.
  static std::string getLogFilePath(LogFilePrefix prefix);
};
