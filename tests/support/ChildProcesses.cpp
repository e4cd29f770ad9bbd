#include "support/ChildProcesses.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <vector>

namespace velktest {

bool runInChildren(int count, const std::function<bool(int index)>& work) {
  // The children block on reading the start pipe until the parent closes its
  // writing end, which it does once all of them exist.
  std::array<int, 2> start{};
  if (::pipe(start.data()) != 0) {
    ADD_FAILURE() << "pipe failed";
    return false;
  }
  std::vector<pid_t> children;
  for (int index = 0; index < count; ++index) {
    const pid_t pid = ::fork();
    if (pid == 0) {
      ::close(start[1]);
      char ignored = 0;
      while (::read(start[0], &ignored, 1) < 0 && errno == EINTR) {
      }
      ::_exit(work(index) ? 0 : 1);
    }
    if (pid < 0) {
      ADD_FAILURE() << "fork failed";
      break;
    }
    children.push_back(pid);
  }
  ::close(start[0]);
  ::close(start[1]);
  bool allSucceeded = static_cast<int>(children.size()) == count;
  for (const pid_t pid : children) {
    int status = -1;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    allSucceeded = allSucceeded && WIFEXITED(status) && WEXITSTATUS(status) == 0;
  }
  return allSucceeded;
}

}  // namespace velktest
