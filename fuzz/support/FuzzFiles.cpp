#include "support/FuzzFiles.h"

#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "VelkCommon/FileDescriptor.h"

namespace velkfuzz {

namespace {

[[noreturn]] void failOn(const char* operation, const std::string& path) {
  std::perror((std::string(operation) + " " + path).c_str());
  std::abort();
}

FileDescriptor openOrAbort(const std::string& path, int flags) {
  FileDescriptor file(::open(path.c_str(), flags | O_CLOEXEC, 0644));
  if (!file.valid()) {
    failOn("open", path);
  }
  return file;
}

}  // namespace

void writeFileOrAbort(const std::string& path, const std::uint8_t* data, std::size_t size) {
  std::error_code ignored;
  std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ignored);
  const FileDescriptor file = openOrAbort(path, O_WRONLY | O_CREAT | O_TRUNC);
  while (size > 0) {
    const ssize_t put = ::write(file.get(), data, size);
    if (put < 0 && errno == EINTR) {
      continue;
    }
    if (put <= 0) {
      failOn("write", path);
    }
    data += put;
    size -= static_cast<std::size_t>(put);
  }
}

std::string readFileOrAbort(const std::string& path) {
  const FileDescriptor file = openOrAbort(path, O_RDONLY);
  std::string text;
  std::array<char, 65536> buffer{};
  for (;;) {
    const ssize_t got = ::read(file.get(), buffer.data(), buffer.size());
    if (got < 0 && errno == EINTR) {
      continue;
    }
    if (got < 0) {
      failOn("read", path);
    }
    if (got == 0) {
      return text;
    }
    text.append(buffer.data(), static_cast<std::size_t>(got));
  }
}

void truncateFileOrAbort(const std::string& path) {
  if (::truncate(path.c_str(), 0) != 0) {
    failOn("truncate", path);
  }
}

}  // namespace velkfuzz
