#pragma once

#include <sys/types.h>

#include <string>

namespace velktest {

// Another process holding the flock(2) lock on a lock file: a forked child
// that takes it (creating the file when missing) and keeps it until it is
// killed, at the latest when the object goes or its parent dies. The
// constructor returns once the child holds the lock.
class LockHolder {
 public:
  explicit LockHolder(const std::string& lockFile);
  ~LockHolder();
  LockHolder(const LockHolder&) = delete;
  LockHolder& operator=(const LockHolder&) = delete;

  // False when the child could not be started or could not take the lock.
  bool holding() const { return holding_; }
  // Kills the child with SIGKILL, so that it lets go of nothing itself.
  void kill();

 private:
  pid_t pid_ = -1;
  int channel_ = -1;  // the child lets go when this socket end closes
  bool holding_ = false;
};

// True when no one holds the lock on `lockFile`.
bool lockIsFree(const std::string& lockFile);

}  // namespace velktest
