#include "support/FuzzHome.h"

#include <stdlib.h>  // NOLINT(modernize-deprecated-headers): mkdtemp, setenv
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <string_view>
#include <vector>

namespace velkfuzz {

namespace {

std::string baseFolder() {
  if (::access("/dev/shm", W_OK | X_OK) == 0) {
    return "/dev/shm";
  }
  const char* tmp = std::getenv("TMPDIR");  // NOLINT(concurrency-mt-unsafe)
  return tmp != nullptr && *tmp != '\0' ? tmp : "/tmp";
}

constexpr std::string_view kPrefix = "velk-fuzz-";

// Removes the folders of fuzzing processes that are gone: a run that crashes
// ends without its destructors, and on tmpfs its log would hold memory.
// Folders are named velk-fuzz-<pid>-XXXXXX.
void removeFoldersOfEndedProcesses(const std::string& base) {
  std::error_code ignored;
  for (const auto& entry : std::filesystem::directory_iterator(base, ignored)) {
    const std::string name = entry.path().filename().string();
    if (name.rfind(kPrefix, 0) != 0) {
      continue;
    }
    const auto pid = static_cast<pid_t>(std::atol(name.c_str() + kPrefix.size()));
    if (pid > 0 && ::kill(pid, 0) != 0 && errno == ESRCH) {
      std::filesystem::remove_all(entry.path(), ignored);
    }
  }
}

}  // namespace

FuzzHome::FuzzHome() {
  const std::string base = baseFolder();
  removeFoldersOfEndedProcesses(base);
  std::string pattern = base + "/" + std::string(kPrefix) + std::to_string(::getpid()) + "-XXXXXX";
  std::vector<char> buffer(pattern.begin(), pattern.end());
  buffer.push_back('\0');
  if (::mkdtemp(buffer.data()) == nullptr) {
    std::perror(("FuzzHome: mkdtemp " + pattern).c_str());
    std::abort();
  }
  root_ = buffer.data();
  // Made once, before the fuzzer starts any thread.
  ::setenv("XDG_DATA_HOME", (root_ + "/data").c_str(), 1);    // NOLINT(concurrency-mt-unsafe)
  ::setenv("XDG_STATE_HOME", (root_ + "/state").c_str(), 1);  // NOLINT(concurrency-mt-unsafe)
}

FuzzHome::~FuzzHome() {
  std::error_code ignored;
  std::filesystem::remove_all(root_, ignored);
}

std::string FuzzHome::historyFile() const { return root_ + "/data/velk/velk.dc_list"; }

std::string FuzzHome::logFile() const { return root_ + "/state/velk/logs/update-reminder.log"; }

}  // namespace velkfuzz
