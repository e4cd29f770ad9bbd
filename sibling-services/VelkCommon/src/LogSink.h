#pragma once

#include <sys/types.h>

#include <mutex>
#include <string>
#include <string_view>

#include "VelkCommon/FileDescriptor.h"
#include "foundation/EnvironmentSnapshot.h"

// One log file, shared by every logger of one prefix and safe to use from
// several threads and processes at once.
//
// The file is <base>/velk/logs/<fileName>, where <base> is $XDG_STATE_HOME, or
// $HOME/.local/state when that is unset or empty. The variables are looked at
// on every line, so changing them (setenv, unsetenv, putenv) moves the log at
// once; while the environment stays the same (foundation::EnvironmentSnapshot)
// a line looks at nothing more. Each line reaches the
// file in one write(2) on an O_APPEND descriptor, so lines of concurrent
// writers never interleave. When the file reaches kRotateSize it is renamed to
// <fileName>.1 (older ones move up to .kKeptFiles, the oldest is dropped) under
// an flock on <fileName>.lock. Writers still holding the renamed file notice
// at their next size check (every few lines), because their offset is then
// past the limit, or at the latest at the check of the path made once in
// each second of the clock, and re-open the path.
class LogSink {
 public:
  static constexpr off_t kRotateSize = off_t{1} << 20;
  static constexpr int kKeptFiles = 3;

  explicit LogSink(std::string fileName);

  // Appends `line` (one whole line with its '\n'), stamped with the
  // wall-clock second `second`, by which the checks made once a second go.
  // Creates the folder when needed. When the file cannot be opened or
  // written the line is dropped (and opening is not tried again within that
  // second unless the folder changes). Never throws.
  void write(std::string_view line, time_t second) noexcept;

 private:
  // Works out the path from the environment; true when it changed, in which
  // case the old file is let go.
  bool locate();
  // Opens (creating folder and file when missing) the current path.
  bool open();
  // Whether the path still names the file that is open.
  bool pathNamesOpenFile() const;
  // Called when the file has grown to `end` >= kRotateSize with `line`:
  // rotates it, or re-opens the path when another writer already has.
  // Writes `line` again when the file that took it is gone. (Earlier lines
  // since the last size check went to that file too; for them to be lost,
  // other writers must rotate three times within those few lines and within
  // a second, so they are not kept for this.)
  void rotate(std::string_view line, off_t end, time_t second);
  // Renames <fileName>.N to .N+1, dropping .kKeptFiles.
  void shiftOldFiles() const;
  // The path of old file `number`, e.g. update-reminder.log.2.
  std::string numbered(int number) const;

  std::mutex mutex_;
  const std::string fileName_;

  bool located_ = false;
  foundation::EnvironmentSnapshot environment_;  // as the last line found it
  std::string stateHomeSeen_;                    // XDG_STATE_HOME the path comes from
  std::string homeSeen_;                         // HOME the path comes from, when it counts
  std::string folder_;
  std::string path_;

  FileDescriptor fd_;
  dev_t device_ = 0;
  ino_t inode_ = 0;
  off_t knownEnd_ = 0;  // the file's size when last asked, plus lines since
  int linesSinceSizeCheck_ = 0;
  off_t rotateAt_ = kRotateSize;
  // The second of the last failed open, when it failed.
  bool openFailed_ = false;
  time_t openFailedIn_ = 0;
  // The second in which the path was last compared with the open file.
  time_t pathCheckedIn_ = 0;
};
