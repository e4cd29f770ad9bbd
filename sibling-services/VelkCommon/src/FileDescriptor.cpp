#include "VelkCommon/FileDescriptor.h"

#include <unistd.h>

#include <utility>

FileDescriptor::~FileDescriptor() { reset(); }

FileDescriptor::FileDescriptor(FileDescriptor&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)) {}

FileDescriptor& FileDescriptor::operator=(FileDescriptor&& other) noexcept {
  if (this != &other) {
    reset(std::exchange(other.fd_, -1));
  }
  return *this;
}

void FileDescriptor::reset(int fd) noexcept {
  if (fd_ >= 0) {
    // Linux releases the descriptor even when close() reports an error, so
    // it is never retried.
    ::close(fd_);
  }
  fd_ = fd;
}

bool FileDescriptor::close() noexcept {
  const int fd = std::exchange(fd_, -1);
  return fd >= 0 && ::close(fd) == 0;
}
