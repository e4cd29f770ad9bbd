#pragma once

#include <unistd.h>

#include <utility>

// Owns one open file descriptor and closes it when it goes.
class FileDescriptor {
 public:
  FileDescriptor() = default;
  explicit FileDescriptor(int fd) noexcept : fd_(fd) {}
  ~FileDescriptor() { reset(); }

  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;

  int get() const noexcept { return fd_; }
  bool valid() const noexcept { return fd_ >= 0; }

  // Closes the descriptor held (if any; Linux releases it even when close()
  // reports an error, so it is never retried) and takes `fd`, which may be -1.
  void reset(int fd = -1) noexcept {
    if (fd_ >= 0 && fd_ != fd) {
      ::close(fd_);
    }
    fd_ = fd;
  }

  // Closes the descriptor now; false when close(2) reports an error (for a
  // written file, the data may not have reached it) or none was held.
  bool close() noexcept {
    const int fd = std::exchange(fd_, -1);
    return fd >= 0 && ::close(fd) == 0;
  }

 private:
  int fd_ = -1;
};
