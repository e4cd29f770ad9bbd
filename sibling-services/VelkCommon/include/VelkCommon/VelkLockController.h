#pragma once

#include <cstdint>
#include <string>
#include <utility>

#include "VelkCommon/VelkCommonExport.h"

// An inter-process lock on a lock file, taken with flock(2) on a descriptor of
// its own, so two controllers exclude each other across processes and across
// threads of one process. The kernel releases it when the process dies.
class VELKCOMMON_EXPORT VelkLockController {
 public:
  // Remembers the lock file's path; touches nothing on disk.
  explicit VelkLockController(std::string filepath) : filepath(std::move(filepath)) {}
  // Releases the lock when it is still held.
  virtual ~VelkLockController() { VelkLockController::unlock(); }

  VelkLockController(const VelkLockController&) = delete;
  VelkLockController& operator=(const VelkLockController&) = delete;

  // Opens (creating it when missing) the lock file and takes the lock, waiting
  // up to `time` milliseconds. Returns true when the lock is held. Returns
  // false when it was not obtained in time or the file cannot be opened; the
  // controller then holds nothing. Calling it while holding the lock returns
  // true at once.
  virtual bool lock(std::int64_t time);

  // Releases the lock and closes the descriptor. Does nothing when the lock
  // is not held.
  virtual void unlock();

 protected:
  std::string filepath;
  std::int32_t fd = -1;
  int lockFlag = 0;
};
