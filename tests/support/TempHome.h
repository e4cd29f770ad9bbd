#pragma once

#include <string>

#include "support/ScopedEnv.h"
#include "support/TempDir.h"

namespace velktest {

// Points the application directory and the log at fresh folders for the
// lifetime of the object: XDG_DATA_HOME=<tmp>/data, XDG_STATE_HOME=<tmp>/state.
class TempHome {
 public:
  TempHome();

  const std::string& root() const { return dir_.path(); }
  // The application directory, <tmp>/data/velk (not created).
  std::string appDir() const;
  // The history file, <tmp>/data/velk/velk.dc_list.
  std::string historyFile() const;
  // The lock file, <tmp>/data/velk/lockfile.
  std::string lockFile() const;
  // The framework's log file, <tmp>/state/velk/logs/update-reminder.log.
  std::string logFile() const;

 private:
  TempDir dir_;
  ScopedEnv data_;
  ScopedEnv state_;
};

}  // namespace velktest
