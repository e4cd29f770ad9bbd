#include "LogSink.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "VelkCommon/VelkFileUtility.h"
#include "VelkCommon/VelkLockController.h"
#include "VelkCommon/VelkLog.h"

void LogSink::write(std::string_view line) noexcept {
  try {
    const std::lock_guard<std::mutex> guard(mutex_);
    follow();
    if (!fd_.valid()) {
      return;
    }
    while (::write(fd_.get(), line.data(), line.size()) < 0 && errno == EINTR) {
    }
    if (++linesSinceCheck_ >= kLinesPerCheck) {
      check();
    }
  } catch (...) {
    // The line is dropped; logging never fails its caller.
  }
}

void LogSink::follow() {
  // setenv(), unsetenv() and putenv() replace, add or remove an entry of the
  // environment's array, so while its entries are the ones seen last (far
  // cheaper to tell than looking the variables up), the log's path is too. A
  // shorter array keeps the room the longer one had, and a moved one is
  // larger, so comparing the entries seen last reads within the array. A
  // string given to putenv() and then changed in place is not noticed.
  if (fd_.valid() &&
      std::memcmp(environ, environment_.data(), environment_.size() * sizeof(char*)) == 0) {
    return;
  }
  std::size_t count = 0;
  while (environ[count] != nullptr) {
    ++count;
  }
  environment_.assign(environ, environ + count + 1);
  const std::string path = VelkLog::getLogFilePath(prefix_);
  if (fd_.valid() && path == path_) {
    return;
  }
  path_ = path;
  if (VelkFileUtility::createPrivateDirectories(std::filesystem::path(path_).parent_path())) {
    fd_.reset();
    return;
  }
  fd_.reset(::open(path_.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOCTTY, 0600));
  struct stat info = {};
  if (!fd_.valid() || ::fstat(fd_.get(), &info) != 0 || !S_ISREG(info.st_mode)) {
    fd_.reset();
    return;
  }
  inode_ = info.st_ino;
  linesSinceCheck_ = 0;
}

void LogSink::check() {
  linesSinceCheck_ = 0;
  struct stat info = {};
  const auto stillOpen = [&] { return ::stat(path_.c_str(), &info) == 0 && info.st_ino == inode_; };
  if (stillOpen()) {
    if (info.st_size < kRotateSize) {
      return;
    }
    VelkLockController rotation(path_ + ".lock");
    // Another writer may have rotated the file while this one waited.
    if (rotation.lock(kRotateLockWait) && stillOpen()) {
      const auto numbered = [&](int number) { return path_ + "." + std::to_string(number); };
      // The oldest goes first so that no rename replaces an existing file:
      // ext4 flushes a file renamed over another at once.
      ::unlink(numbered(kKeptFiles).c_str());
      for (int number = kKeptFiles; number > 1; --number) {
        ::rename(numbered(number - 1).c_str(), numbered(number).c_str());
      }
      ::rename(path_.c_str(), numbered(1).c_str());
    }
  }
  fd_.reset();  // the next line opens the path afresh
}
