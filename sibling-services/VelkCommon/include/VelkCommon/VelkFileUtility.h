#pragma once

#include <string>
#include <system_error>

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

  // Makes the folder `path` and each missing folder above it, each with mode
  // 0700 whatever the umask: they hold one person's data. Folders that exist
  // keep their modes. Returns no error when `path` is a folder afterwards;
  // otherwise the reason (ENOTDIR when it or a part of it is not a folder),
  // with the folders made so far left in place.
  static std::error_code createPrivateDirectories(const std::string& path);
};
