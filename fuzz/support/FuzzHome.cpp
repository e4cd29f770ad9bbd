#include "support/FuzzHome.h"

#include <stdlib.h>  // NOLINT(modernize-deprecated-headers): mkdtemp, setenv
#include <unistd.h>

#include <cstdio>
#include <filesystem>
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

}  // namespace

FuzzHome::FuzzHome() {
  std::string pattern = baseFolder() + "/velk-fuzz-XXXXXX";
  std::vector<char> buffer(pattern.begin(), pattern.end());
  buffer.push_back('\0');
  if (::mkdtemp(buffer.data()) == nullptr) {
    std::perror(("FuzzHome: mkdtemp " + pattern).c_str());
    std::abort();
  }
  root_ = buffer.data();
  ::setenv("XDG_DATA_HOME", (root_ + "/data").c_str(), 1);
  ::setenv("XDG_STATE_HOME", (root_ + "/state").c_str(), 1);
}

FuzzHome::~FuzzHome() {
  std::error_code ignored;
  std::filesystem::remove_all(root_, ignored);
}

std::string FuzzHome::historyFile() const { return root_ + "/data/velk/velk.dc_list"; }

std::string FuzzHome::logFile() const { return root_ + "/state/velk/logs/update-reminder.log"; }

}  // namespace velkfuzz
