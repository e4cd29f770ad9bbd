#include "VelkCommon/VelkLockController.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// Pauses between tries while another holder has the lock: short at first so
// a brief holder costs little, growing so a long wait costs little CPU.
constexpr milliseconds kFirstPause{1};
constexpr milliseconds kLongestPause{20};
// Longer waits are cut to this (about 30 years), so deadlines never overflow.
constexpr std::int64_t kLongestWait = std::int64_t{1} << 40;

}  // namespace

bool VelkLockController::lock(std::int64_t time) {
  if (lockFlag != 0) {
    return true;
  }
  fd = fd >= 0 ? fd : ::open(filepath.c_str(), O_RDONLY | O_CREAT | O_CLOEXEC | O_NOCTTY, 0600);
  if (fd < 0) {
    return false;
  }
  const Clock::time_point deadline =
      Clock::now() + milliseconds(std::clamp<std::int64_t>(time, 0, kLongestWait));
  Clock::duration pause = kFirstPause;
  for (;;) {
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
      lockFlag = 1;
      return true;
    }
    if (errno == EINTR) {
      continue;
    }
    const Clock::time_point now = Clock::now();
    if (errno != EWOULDBLOCK || now >= deadline) {
      VelkLockController::unlock();
      return false;
    }
    std::this_thread::sleep_for(std::min(pause, deadline - now));
    pause = std::min<Clock::duration>(pause * 2, kLongestPause);
  }
}

void VelkLockController::unlock() {
  // Released explicitly rather than by close() alone, which would leave it
  // held while a forked child still has the descriptor.
  if (fd >= 0 && lockFlag != 0) {
    ::flock(fd, LOCK_UN);
  }
  if (fd >= 0) {
    ::close(fd);
  }
  fd = -1;
  lockFlag = 0;
}
