#include "support/TempHome.h"

namespace velktest {

TempHome::TempHome()
    : data_("XDG_DATA_HOME", dir_.path() + "/data"),
      state_("XDG_STATE_HOME", dir_.path() + "/state") {}

std::string TempHome::appDir() const { return dir_.path() + "/data/velk"; }

std::string TempHome::historyFile() const { return appDir() + "/velk.dc_list"; }

std::string TempHome::lockFile() const { return appDir() + "/lockfile"; }

std::string TempHome::logFile() const {
  return dir_.path() + "/state/velk/logs/update-reminder.log";
}

}  // namespace velktest
