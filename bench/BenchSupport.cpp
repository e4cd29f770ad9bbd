#include "BenchSupport.h"

#include <fcntl.h>
#include <stdlib.h>  // NOLINT(modernize-deprecated-headers): mkdtemp, setenv, unsetenv
#include <sys/file.h>
#include <sys/stat.h>
#include <time.h>  // NOLINT(modernize-deprecated-headers): clock_gettime
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "VelkCommon/VelkLog.h"

namespace {

// Half the size at which the real log rotates.
constexpr off_t kLogRoom = off_t{1} << 19;
// The log looks at its file after this many lines.
constexpr int kLinesPerCheck = 64;

std::string reminderLog() { return VelkLog::getLogFilePath(LogFilePrefix::VELK_UPDATE_REMINDER); }

double microseconds(clockid_t clock) {
  timespec now{};
  ::clock_gettime(clock, &now);
  return static_cast<double>(now.tv_sec) * 1e6 + static_cast<double>(now.tv_nsec) / 1e3;
}

double median(std::vector<double> values, int operations) {
  const auto mid = values.begin() + static_cast<std::ptrdiff_t>(values.size() / 2);
  std::nth_element(values.begin(), mid, values.end());
  return *mid / operations;
}

}  // namespace

BenchHome::BenchHome() : root(std::filesystem::temp_directory_path() / "velk-bench-XXXXXX") {
  if (::mkdtemp(root.data()) == nullptr) {
    fail("mkdtemp failed");
  }
  // NOLINTBEGIN(concurrency-mt-unsafe): made before any other thread runs
  ::setenv("HOME", root.c_str(), 1);
  ::unsetenv("XDG_DATA_HOME");
  ::unsetenv("XDG_STATE_HOME");
  // NOLINTEND(concurrency-mt-unsafe)
}

BenchHome::~BenchHome() {
  std::error_code ignored;
  std::filesystem::remove_all(root, ignored);
}

void fail(const char* what) {
  std::fprintf(stderr, "%s\n", what);
  std::abort();
}

int pairsArgument(int argc, char** argv, int at, int fallback) {
  const int pairs = argc > at ? std::atoi(argv[at]) : fallback;
  return pairs > 0 ? pairs : fallback;
}

void timePairs(const char* title, int pairs, const Timed& job, const Timed& floor, double goal,
               int operations, const std::function<void()>& between) {
  // Real and CPU time of the job, then of the floor.
  std::array<std::vector<double>, 4> samples;
  const auto time = [&](const Timed& timed, std::size_t at) {
    const double cpu = microseconds(CLOCK_PROCESS_CPUTIME_ID);
    const double real = microseconds(CLOCK_MONOTONIC);
    timed.call();
    samples.at(at).push_back(microseconds(CLOCK_MONOTONIC) - real);
    samples.at(at + 1).push_back(microseconds(CLOCK_PROCESS_CPUTIME_ID) - cpu);
  };
  for (int pair = 0; pair < pairs; ++pair) {
    if (between) {
      between();
    }
    time(pair % 2 == 0 ? job : floor, pair % 2 == 0 ? 0 : 2);
    time(pair % 2 == 0 ? floor : job, pair % 2 == 0 ? 2 : 0);
  }
  std::array<double, 4> m{};
  std::transform(samples.begin(), samples.end(), m.begin(),
                 [&](const std::vector<double>& values) { return median(values, operations); });
  const double cpuRatio = m[1] / m[3];
  std::printf("%s: %d pairs, medians per operation\n", title, pairs);
  std::printf("  %-28s real %12.3f us   CPU %12.3f us\n", job.name, m[0], m[1]);
  std::printf("  %-28s real %12.3f us   CPU %12.3f us\n", floor.name, m[2], m[3]);
  std::printf("  ratio                        real %12.2f      CPU %12.2f", m[0] / m[2], cpuRatio);
  if (goal > 0) {
    std::printf("      goal (CPU) <= %.2f %s", goal, cpuRatio <= goal ? "met" : "MISSED");
  }
  std::printf("\n");
}

std::string readAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<std::string> logLinesOf(const char* what, const std::function<void()>& job) {
  const std::size_t before = readAll(reminderLog()).size();
  job();
  const std::string after = readAll(reminderLog());
  std::vector<std::string> lines;
  std::size_t start = before;
  for (std::size_t end; (end = after.find('\n', start)) != std::string::npos; start = end + 1) {
    lines.push_back(after.substr(start, end + 1 - start));
  }
  std::printf("%s writes %zu log lines, %zu bytes\n", what, lines.size(), after.size() - before);
  return lines;
}

FloorLog::FloorLog(std::string path)
    : path(std::move(path)),
      fd(::open(this->path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644)) {
  if (!fd.valid()) {
    fail("the floor's log does not open");
  }
}

void FloorLog::write(const std::vector<std::string>& lines) {
  for (const std::string& line : lines) {
    if (::write(fd.get(), line.data(), line.size()) < 0) {
      fail("write to the floor's log failed");
    }
    if (++linesSinceCheck == kLinesPerCheck) {
      linesSinceCheck = 0;
      statFloor(path);
    }
  }
}

void FloorLog::keepBelowRotation() const {
  // Both files are looked at, so that both take the same time stamp work at
  // their next write (a file whose times were read gets fine-grained ones).
  struct stat info = {};
  struct stat floorInfo = {};
  ::fstat(fd.get(), &floorInfo);
  if (::stat(reminderLog().c_str(), &info) == 0 && info.st_size > kLogRoom &&
      (::truncate(reminderLog().c_str(), 0) != 0 || ::ftruncate(fd.get(), 0) != 0)) {
    fail("the logs do not truncate");
  }
}

FloorLock::FloorLock(const std::string& path)
    : fd(::open(path.c_str(), O_RDONLY | O_CREAT | O_CLOEXEC, 0644)) {
  ::flock(fd.get(), LOCK_EX);
}

FloorLock::~FloorLock() { ::flock(fd.get(), LOCK_UN); }

void statFloor(const std::string& path) {
  struct stat info = {};
  ::stat(path.c_str(), &info);
}

void readFloor(const std::string& path) {
  const FileDescriptor in(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  static std::array<char, 65536> buffer;
  while (::read(in.get(), buffer.data(), buffer.size()) > 0) {
  }
}

void writeFloor(const std::string& path, const std::string& text) {
  const FileDescriptor out(::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666));
  if (::pwrite(out.get(), text.data(), text.size(), 0) != static_cast<ssize_t>(text.size()) ||
      ::ftruncate(out.get(), static_cast<off_t>(text.size())) != 0) {
    fail("the floor's file is not written");
  }
}
