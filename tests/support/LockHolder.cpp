#include "support/LockHolder.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <csignal>

#include "VelkCommon/VelkLockController.h"

namespace velktest {

namespace {

// Reads one byte; false at end of file or on failure.
bool readByte(int fd) {
  char byte = 0;
  ssize_t got = 0;
  while ((got = ::read(fd, &byte, 1)) < 0 && errno == EINTR) {
  }
  return got == 1;
}

}  // namespace

LockHolder::LockHolder(const std::string& lockFile) {
  std::array<int, 2> ready{};
  std::array<int, 2> release{};
  if (::pipe(ready.data()) != 0) {
    return;
  }
  if (::pipe(release.data()) != 0) {
    ::close(ready[0]);
    ::close(ready[1]);
    return;
  }
  pid_ = ::fork();
  if (pid_ == 0) {
    ::close(ready[0]);
    ::close(release[1]);
    const int fd = ::open(lockFile.c_str(), O_RDONLY | O_CREAT, 0644);
    if (fd < 0 || ::flock(fd, LOCK_EX) != 0) {
      ::_exit(1);
    }
    const char byte = 1;
    if (::write(ready[1], &byte, 1) != 1) {
      ::_exit(1);
    }
    readByte(release[0]);  // until the parent closes its end
    ::_exit(0);
  }
  ::close(ready[1]);
  ::close(release[0]);
  release_ = release[1];
  holding_ = pid_ > 0 && readByte(ready[0]);
  ::close(ready[0]);
}

LockHolder::~LockHolder() {
  if (release_ >= 0) {
    ::close(release_);
  }
  if (pid_ > 0) {
    int status = 0;
    while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
  }
}

void LockHolder::kill() {
  if (pid_ > 0) {
    ::kill(pid_, SIGKILL);
    while (::waitpid(pid_, nullptr, 0) < 0 && errno == EINTR) {
    }
    pid_ = -1;
  }
}

bool lockIsFree(const std::string& lockFile) {
  VelkLockController probe(lockFile);
  return probe.lock(0);
}

}  // namespace velktest
