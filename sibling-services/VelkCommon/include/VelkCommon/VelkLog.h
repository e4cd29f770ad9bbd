#pragma once

#include "VelkCommon/LogFilePrefix.h"
#include "VelkCommon/Logger.h"
#include "VelkCommon/VelkCommonExport.h"

class VELKCOMMON_EXPORT VelkLog {
 public:
  VelkLog() = delete;

  // The logger of the given member of the family. Loggers of one prefix share
  // one file: $XDG_STATE_HOME/velk/logs/<name>.log (~/.local/state when
  // XDG_STATE_HOME is unset or empty). The folder is made on the first line
  // written. Never throws; a logger whose file cannot be opened drops lines.
  static Logger getLogger(LogFilePrefix prefix);
};
