#pragma once

#include <sys/single_threaded.h>
#include <sys/types.h>
#include <unistd.h>

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
  // The file's size is asked of the kernel after this many lines, or sooner
  // when the lines written since reach the rotation size. Other writers grow
  // the file too, so this bounds how far past the limit it gets and how many
  // lines go to a file that someone else has just rotated.
  static constexpr int kLinesPerSizeCheck = 64;

  explicit LogSink(std::string fileName);

  // Appends `line` (one whole line with its '\n'), stamped with the
  // wall-clock second `second`, by which the checks made once a second go.
  // Creates the folder when needed. When the file cannot be opened or
  // written the line is dropped (and opening is not tried again within that
  // second unless the folder changes). Never throws.
  //
  // Inline, as it is called for every line: while the process has one
  // thread (the C library knows) and nothing needs looking at, a line is
  // its write and a few counts.
  void write(std::string_view line, time_t second) noexcept {
    if (__libc_single_threaded != 0 && fd_.valid() && second == pathCheckedIn_ &&
        environment_.unchanged()) {
      append(line, second);
    } else {
      writeChecked(line, second);
    }
  }

 private:
  // write() with every check, under the lock when other threads may log.
  void writeChecked(std::string_view line, time_t second) noexcept;
  // Writes `line` to the open file, and counts it.
  void append(std::string_view line, time_t second) {
    if (!writeWhole(line)) {
      return;
    }
    knownEnd_ += static_cast<off_t>(line.size());
    if (++linesSinceSizeCheck_ >= kLinesPerSizeCheck || knownEnd_ >= rotateAt_) {
      checkSize(line, second);
    }
  }
  // One write(2) of all of `line` to the open file (again when a signal
  // interrupted it before it wrote anything); false when it did not reach
  // the file whole.
  bool writeWhole(std::string_view line) const {
    const ssize_t written = ::write(fd_.get(), line.data(), line.size());
    return written == static_cast<ssize_t>(line.size()) ||
           (written < 0 && writeAgainAfterSignal(line));
  }
  bool writeAgainAfterSignal(std::string_view line) const;
  // Asks the kernel for the file's size, and rotates it when it is due.
  void checkSize(std::string_view line, time_t second) noexcept;
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
