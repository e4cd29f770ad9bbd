#include "LogSink.h"

#include <fcntl.h>
#include <sys/single_threaded.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <system_error>
#include <utility>

#include "VelkCommon/VelkLockController.h"
#include "XdgDirectory.h"

namespace {

// How long a writer waits for another writer that is rotating the file.
constexpr std::int64_t kRotateLockWait = 200;
// When the file cannot be rotated now, how much more is written before the
// next try.
constexpr off_t kRotateRetryGrowth = off_t{64} << 10;

constexpr int kOpenFlags = O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOCTTY;
constexpr mode_t kFileMode = 0644;

std::string_view environmentView(const char* name) {
  const char* value = std::getenv(name);  // NOLINT(concurrency-mt-unsafe)
  return value == nullptr ? std::string_view() : std::string_view(value);
}

}  // namespace

LogSink::LogSink(std::string fileName) : fileName_(std::move(fileName)) {}

void LogSink::writeChecked(std::string_view line, time_t second) noexcept {
  try {
    // While the process has one thread, no other can be in here, and the
    // lock is not taken: it costs about as much as the rest of the line's
    // work.
    std::unique_lock<std::mutex> guard(mutex_, std::defer_lock);
    if (__libc_single_threaded == 0) {
      guard.lock();
    }
    locate();
    // Once a second the path is compared with the open file, so that a log
    // file that someone else removed or renamed is created afresh.
    if (fd_.valid() && second != pathCheckedIn_) {
      pathCheckedIn_ = second;
      if (!pathNamesOpenFile()) {
        fd_.reset();
      }
    }
    if (!fd_.valid()) {
      // After a failed open, lines are dropped without trying again within
      // that second, so a broken log folder costs callers next to nothing.
      if (openFailed_ && second == openFailedIn_) {
        return;
      }
      if (!open()) {
        openFailed_ = true;
        openFailedIn_ = second;
        return;
      }
      openFailed_ = false;
      pathCheckedIn_ = second;
    }
    append(line, second);
  } catch (...) {
    // The line is dropped; logging never fails its caller.
  }
}

bool LogSink::writeAgainAfterSignal(std::string_view line) const {
  while (errno == EINTR) {
    const ssize_t written = ::write(fd_.get(), line.data(), line.size());
    if (written >= 0) {
      return written == static_cast<ssize_t>(line.size());
    }
  }
  return false;
}

void LogSink::checkSize(std::string_view line, time_t second) noexcept {
  // With O_APPEND the offset is now the end of the last line in the file: a
  // cheap size check that needs no fstat.
  linesSinceSizeCheck_ = 0;
  knownEnd_ = ::lseek(fd_.get(), 0, SEEK_CUR);
  if (knownEnd_ < rotateAt_) {
    return;
  }
  try {
    rotate(line, knownEnd_, second);
  } catch (...) {
    // Out of memory: rotation is tried again at the next size check.
  }
}

bool LogSink::locate() {
  if (!environment_.changed() && located_) {
    return false;
  }
  const std::string_view stateHome = environmentView("XDG_STATE_HOME");
  const std::string_view home = stateHome.empty() ? environmentView("HOME") : std::string_view();
  if (located_ && stateHome == stateHomeSeen_ && home == homeSeen_) {
    return false;
  }
  located_ = true;
  stateHomeSeen_ = stateHome;
  homeSeen_ = home;
  folder_ = xdgBaseDirectory("XDG_STATE_HOME", ".local/state") + "/velk/logs";
  path_ = folder_ + "/" + fileName_;
  fd_.reset();
  openFailed_ = false;
  return true;
}

bool LogSink::open() {
  fd_.reset();
  int fd = ::open(path_.c_str(), kOpenFlags, kFileMode);
  if (fd < 0 && errno == ENOENT) {
    std::error_code ignored;
    std::filesystem::create_directories(folder_, ignored);
    fd = ::open(path_.c_str(), kOpenFlags, kFileMode);
  }
  FileDescriptor opened(fd);
  struct stat info {};
  if (!opened.valid() || ::fstat(opened.get(), &info) != 0 || !S_ISREG(info.st_mode)) {
    return false;
  }
  fd_ = std::move(opened);
  device_ = info.st_dev;
  inode_ = info.st_ino;
  knownEnd_ = info.st_size;
  linesSinceSizeCheck_ = 0;
  rotateAt_ = kRotateSize;
  return true;
}

bool LogSink::pathNamesOpenFile() const {
  struct stat info {};
  return ::stat(path_.c_str(), &info) == 0 && info.st_dev == device_ && info.st_ino == inode_;
}

void LogSink::rotate(std::string_view line, off_t end, time_t second) {
  VelkLockController rotation(path_ + ".lock");
  struct stat own {};
  if (!rotation.lock(kRotateLockWait) || ::fstat(fd_.get(), &own) != 0) {
    rotateAt_ = end + kRotateRetryGrowth;
    return;
  }
  if (pathNamesOpenFile()) {
    if (own.st_size < kRotateSize) {
      return;  // emptied by someone else meanwhile
    }
    // Nobody has rotated this file yet: this writer does.
    shiftOldFiles();
    if (::rename(path_.c_str(), numbered(1).c_str()) != 0) {
      rotateAt_ = end + kRotateRetryGrowth;
      return;
    }
  }
  // The path now names a newer file than the one that took the line. That
  // one is either kept as an old file, or, when it has meanwhile been
  // dropped as the oldest, the line goes again into the new file.
  if (!open()) {
    openFailed_ = true;
    openFailedIn_ = second;
    return;
  }
  if (own.st_nlink == 0) {
    writeWhole(line);
  }
}

void LogSink::shiftOldFiles() const {
  // The oldest goes first so that no rename replaces an existing file: ext4
  // flushes the data of a file renamed over another one at once, which would
  // make every rotation wait for the disk. Missing files are fine.
  ::unlink(numbered(kKeptFiles).c_str());
  for (int number = kKeptFiles; number > 1; --number) {
    ::rename(numbered(number - 1).c_str(), numbered(number).c_str());
  }
}

std::string LogSink::numbered(int number) const { return path_ + "." + std::to_string(number); }
