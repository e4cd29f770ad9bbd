#include "support/LockHolder.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <csignal>

#include "VelkCommon/VelkLockController.h"

namespace velktest {

LockHolder::LockHolder(const std::string& lockFile) {
  std::array<int, 2> ends{};
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends.data()) != 0) {
    return;
  }
  pid_ = ::fork();
  char byte = 1;
  if (pid_ == 0) {
    ::close(ends[0]);
    const int fd = ::open(lockFile.c_str(), O_RDONLY | O_CREAT, 0644);
    if (fd < 0 || ::flock(fd, LOCK_EX) != 0 || ::write(ends[1], &byte, 1) != 1) {
      ::_exit(1);
    }
    // Held until killed or until the parent's end closes, also when it dies.
    while (::read(ends[1], &byte, 1) < 0 && errno == EINTR) {
    }
    ::_exit(0);
  }
  ::close(ends[1]);
  channel_ = ends[0];
  ssize_t got = 0;
  while (pid_ > 0 && (got = ::read(channel_, &byte, 1)) < 0 && errno == EINTR) {
  }
  holding_ = got == 1;
}

LockHolder::~LockHolder() {
  kill();
  if (channel_ >= 0) {
    ::close(channel_);
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
