#pragma once

#include <string>

namespace velkfuzz {

// A fresh folder for one fuzzing process, on tmpfs when /dev/shm is there so
// that the history and log writes of every run stay cheap, else under $TMPDIR
// (or /tmp). XDG_DATA_HOME and XDG_STATE_HOME point into it for the object's
// lifetime; the folder and what it holds are removed when the object goes.
// Making one also removes the folders of fuzzing processes that have ended
// (a crashed run leaves its folder). Aborts when the folder cannot be made:
// a fuzzer without it would test nothing.
class FuzzHome {
 public:
  FuzzHome();
  ~FuzzHome();
  FuzzHome(const FuzzHome&) = delete;
  FuzzHome& operator=(const FuzzHome&) = delete;

  const std::string& root() const { return root_; }
  // The history file, <root>/data/velk/velk.dc_list (not created).
  std::string historyFile() const;
  // The framework's log file, <root>/state/velk/logs/update-reminder.log.
  std::string logFile() const;

 private:
  std::string root_;
};

}  // namespace velkfuzz
