#include "BenchSupport.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <fstream>
#include <iterator>

namespace {

// Half the size at which the real log rotates.
constexpr off_t kLogRoom = off_t{1} << 19;
// The log asks the kernel for its file's size after this many lines.
constexpr int kLinesPerSizeCheck = 64;

}  // namespace

std::string readAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<std::string> logLinesOf(const std::string& log, const std::function<void()>& job) {
  const std::size_t before = readAll(log).size();
  job();
  const std::string after = readAll(log);
  std::vector<std::string> lines;
  std::size_t start = before;
  for (std::size_t end; (end = after.find('\n', start)) != std::string::npos; start = end + 1) {
    lines.push_back(after.substr(start, end + 1 - start));
  }
  return lines;
}

std::size_t totalSize(const std::vector<std::string>& lines) {
  std::size_t bytes = 0;
  for (const std::string& line : lines) {
    bytes += line.size();
  }
  return bytes;
}

void writeLogLines(int fd, const std::vector<std::string>& lines) {
  static int linesSinceSizeCheck = 0;
  for (const std::string& line : lines) {
    if (::write(fd, line.data(), line.size()) < 0) {
      return;
    }
    if (++linesSinceSizeCheck == kLinesPerSizeCheck) {
      linesSinceSizeCheck = 0;
      ::lseek(fd, 0, SEEK_CUR);
    }
  }
}

void statFloor(const std::string& path) {
  struct stat info {};
  ::stat(path.c_str(), &info);
}

void readFloor(const std::string& path) {
  const int in = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  struct stat info {};
  ::fstat(in, &info);
  static std::array<char, 65536> buffer;
  while (::read(in, buffer.data(), buffer.size()) > 0) {
  }
  ::close(in);
}

void writeFloor(const std::string& path, const std::string& text) {
  const int out = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
  const char* data = text.data();
  std::size_t left = text.size();
  off_t offset = 0;
  while (left > 0) {
    const ssize_t put = ::pwrite(out, data, left, offset);
    if (put <= 0) {
      break;
    }
    data += put;
    offset += put;
    left -= static_cast<std::size_t>(put);
  }
  if (::ftruncate(out, static_cast<off_t>(text.size())) != 0) {
    std::perror("ftruncate");
  }
  ::close(out);
}

void keepBelowRotation(const std::string& log, int floorLog) {
  // Both files are looked at, so that both take the same time stamp work at
  // their next write (a file whose times were read gets fine-grained ones).
  struct stat info {};
  struct stat floorInfo {};
  ::fstat(floorLog, &floorInfo);
  if (::stat(log.c_str(), &info) == 0 && info.st_size > kLogRoom) {
    if (::truncate(log.c_str(), 0) != 0 || ::ftruncate(floorLog, 0) != 0) {
      std::perror("truncate");
    }
  }
}

int openAppend(const std::string& path) {
  return ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
}
