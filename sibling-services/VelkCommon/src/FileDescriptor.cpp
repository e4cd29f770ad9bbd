#include "VelkCommon/FileDescriptor.h"

#include <unistd.h>

void FileDescriptor::reset(int fd) noexcept {
  // Linux releases the descriptor even when close() reports an error, so it
  // is never retried.
  if (fd_ >= 0 && fd_ != fd) {
    ::close(fd_);
  }
  fd_ = fd;
}

bool FileDescriptor::close() noexcept {
  const int fd = std::exchange(fd_, -1);
  return fd >= 0 && ::close(fd) == 0;
}
