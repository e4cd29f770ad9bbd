#include "BenchSupport.h"

#include <benchmark/benchmark.h>
#include <stdlib.h>  // NOLINT(modernize-deprecated-headers): mkdtemp, setenv
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace {

// The size at which the real log rotates.
constexpr off_t kLogLimit = off_t{1} << 20;

}  // namespace

std::string makeBenchHome() {
  std::string root = std::filesystem::temp_directory_path() / "velk-bench-XXXXXX";
  if (mkdtemp(root.data()) == nullptr) {
    std::perror("mkdtemp");
    return {};
  }
  // NOLINTBEGIN(concurrency-mt-unsafe): called before any other thread runs
  setenv("XDG_DATA_HOME", (root + "/data").c_str(), 1);
  setenv("XDG_STATE_HOME", (root + "/state").c_str(), 1);
  // NOLINTEND(concurrency-mt-unsafe)
  return root;
}

std::string readAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeAll(int fd, const std::string& text) {
  const char* data = text.data();
  std::size_t left = text.size();
  while (left > 0) {
    const ssize_t put = ::write(fd, data, left);
    if (put <= 0) {
      return;
    }
    data += put;
    left -= static_cast<std::size_t>(put);
  }
}

std::vector<std::string> logLinesOf(const std::string& log, const std::function<void()>& job) {
  for (;;) {
    const std::size_t before = readAll(log).size();
    job();
    const std::string after = readAll(log);
    if (after.size() <= before) {
      continue;
    }
    std::vector<std::string> lines;
    std::size_t start = before;
    for (std::size_t end; (end = after.find('\n', start)) != std::string::npos; start = end + 1) {
      lines.push_back(after.substr(start, end + 1 - start));
    }
    return lines;
  }
}

std::size_t totalSize(const std::vector<std::string>& lines) {
  std::size_t bytes = 0;
  for (const std::string& line : lines) {
    bytes += line.size();
  }
  return bytes;
}

void writeLogLines(int fd, const std::vector<std::string>& lines) {
  for (const std::string& line : lines) {
    benchmark::DoNotOptimize(::write(fd, line.data(), line.size()));
  }
  if (::lseek(fd, 0, SEEK_CUR) >= kLogLimit) {
    benchmark::DoNotOptimize(::ftruncate(fd, 0));
  }
}

void runInterleaved(int argc, char** argv, MedianReporter& reporter) {
  std::string interleave = "--benchmark_enable_random_interleaving=true";
  std::vector<char*> args(argv, argv + argc);
  args.insert(args.begin() + 1, interleave.data());
  int count = static_cast<int>(args.size());
  benchmark::Initialize(&count, args.data());
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
}
