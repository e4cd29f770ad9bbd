#pragma once

#include <sys/types.h>

#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "VelkCommon/FileDescriptor.h"
#include "VelkCommon/LogFilePrefix.h"

// One log file, shared by every logger of one prefix, safe to use from
// several threads and processes at once.
//
// The file is the one VelkLog::getLogFilePath() names, as the environment is
// when the line is written. Each line reaches the file in one write(2) on an
// O_APPEND descriptor, so lines of concurrent writers never interleave. Every
// kLinesPerCheck lines the path is looked at: when it names another file (a
// writer rotated it, someone removed it) the path is opened afresh, and when
// the file has reached kRotateSize it is renamed to <file>.1, older ones
// moving up to .kKeptFiles and the oldest dropped, under a lock on
// <file>.lock.
class LogSink {
 public:
  static constexpr off_t kRotateSize = off_t{1} << 20;
  static constexpr int kKeptFiles = 3;
  static constexpr int kLinesPerCheck = 64;
  // How long a writer waits for another writer that is rotating the file.
  static constexpr std::int64_t kRotateLockWait = 200;

  explicit LogSink(LogFilePrefix prefix) : prefix_(prefix) {}

  // Appends `line` (one whole line with its '\n'), creating the folder when
  // needed. The line is dropped when the file cannot be opened or written.
  void write(std::string_view line) noexcept;

 private:
  // Opens the file the environment names now, unless it is open already.
  void follow();
  // Looks at the path: rotates the file when due, and lets the file go when
  // the path names another one by now.
  void check();

  std::mutex mutex_;
  const LogFilePrefix prefix_;
  // The environment's entries when the path was last worked out.
  std::vector<char*> environment_;
  std::string path_;
  FileDescriptor fd_;
  ino_t inode_ = 0;
  int linesSinceCheck_ = 0;
};
