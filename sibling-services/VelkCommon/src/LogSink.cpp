#include "LogSink.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "VelkCommon/VelkLockController.h"
#include "VelkCommon/VelkLog.h"

namespace {

// How long a writer waits for another writer that is rotating the file.
constexpr std::int64_t kRotateLockWait = 200;

// The variable's value; nothing when unset.
std::optional<std::string_view> variable(const char* name) {
  const char* value = std::getenv(name);  // NOLINT(concurrency-mt-unsafe)
  return value != nullptr ? std::optional<std::string_view>(value) : std::nullopt;
}

}  // namespace

void LogSink::write(std::string_view line) noexcept {
  try {
    const std::lock_guard<std::mutex> guard(mutex_);
    follow();
    if (!fd_.valid()) {
      return;
    }
    ssize_t written = 0;
    do {
      written = ::write(fd_.get(), line.data(), line.size());
    } while (written < 0 && errno == EINTR);
    if (++linesSinceCheck_ >= kLinesPerCheck) {
      check();
    }
  } catch (...) {
    // The line is dropped; logging never fails its caller.
  }
}

void LogSink::follow() {
  const std::optional<std::string_view> stateHome = variable("XDG_STATE_HOME");
  // HOME counts only when XDG_STATE_HOME does not name the folder.
  const std::optional<std::string_view> home =
      stateHome.value_or("").empty() ? variable("HOME") : std::nullopt;
  if (fd_.valid() && stateHome == stateHome_ && home == home_) {
    return;
  }
  stateHome_ = stateHome;
  home_ = home;
  path_ = VelkLog::getLogFilePath(prefix_);
  std::error_code ignored;
  std::filesystem::create_directories(std::filesystem::path(path_).parent_path(), ignored);
  fd_.reset(::open(path_.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOCTTY, 0644));
  struct stat info {};
  if (!fd_.valid() || ::fstat(fd_.get(), &info) != 0 || !S_ISREG(info.st_mode)) {
    fd_.reset();
    return;
  }
  inode_ = info.st_ino;
  linesSinceCheck_ = 0;
}

void LogSink::check() {
  linesSinceCheck_ = 0;
  struct stat info {};
  if (::stat(path_.c_str(), &info) != 0 || info.st_ino != inode_) {
    fd_.reset();  // the next line opens the path afresh
  } else if (info.st_size >= kRotateSize) {
    rotate();
  }
}

void LogSink::rotate() {
  VelkLockController rotation(path_ + ".lock");
  if (!rotation.lock(kRotateLockWait)) {
    return;  // tried again at the next check
  }
  // Another writer may have rotated it while this one waited for the lock.
  struct stat info {};
  if (::stat(path_.c_str(), &info) == 0 && info.st_ino == inode_) {
    // The oldest goes first so that no rename replaces an existing file:
    // ext4 flushes a file renamed over another at once.
    ::unlink(numbered(kKeptFiles).c_str());
    for (int number = kKeptFiles; number > 1; --number) {
      ::rename(numbered(number - 1).c_str(), numbered(number).c_str());
    }
    ::rename(path_.c_str(), numbered(1).c_str());
  }
  fd_.reset();
}
