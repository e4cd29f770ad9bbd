#pragma once

#include "VelkCommon/VelkCommonExport.h"
#include "VelkCommon/VelkPath.h"

class VELKCOMMON_EXPORT VelkFileUtility {
 public:
  VelkFileUtility() = delete;

  // The family's per-user application directory: $XDG_DATA_HOME/velk, or
  // $HOME/.local/share/velk when XDG_DATA_HOME is unset or empty (the
  // password database's home folder when HOME is unset too); with a trailing
  // '/' when `hasSlash`. Nothing is created or checked.
  static VelkPath getVelkDirectory(bool hasSlash);
};
