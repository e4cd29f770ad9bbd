#pragma once

#include "VelkCommon/VelkCommonExport.h"

// Owns one open file descriptor and closes it when it goes. Move-only.
class VELKCOMMON_EXPORT FileDescriptor {
 public:
  FileDescriptor() = default;
  explicit FileDescriptor(int fd) noexcept : fd_(fd) {}
  ~FileDescriptor();

  FileDescriptor(FileDescriptor&& other) noexcept;
  FileDescriptor& operator=(FileDescriptor&& other) noexcept;
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;

  int get() const noexcept { return fd_; }
  bool valid() const noexcept { return fd_ >= 0; }

  // Closes the descriptor held (if any) and takes `fd`, which may be -1.
  void reset(int fd = -1) noexcept;

  // Closes the descriptor now; false when close(2) reports an error (for a
  // written file, the data may not have reached it) or none was held.
  bool close() noexcept;

 private:
  int fd_ = -1;
};
