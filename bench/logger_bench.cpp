// One debug line through the logger against a bare write(2) of the same bytes
// to an O_APPEND descriptor, measured side by side in one run. Prints both
// medians and their ratio; the logger's goal is at most 1.5 times the bare
// write.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "VelkCommon/VelkLog.h"

namespace {

// Named like the framework class whose lines are logged most.
class VelkCertificateHistoryFileController {};

constexpr const char* kMessage = " *** readFile(varidReadRowCount:) START *** ";
constexpr const char* kOperation = "readFile(varidReadRowCount:)";
constexpr off_t kFileLimit = off_t{1} << 20;

// A scratch folder for both files, taken as XDG_STATE_HOME for the logger.
class ScratchFolder {
 public:
  ScratchFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "velk-bench-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
      std::perror("mkdtemp");
      std::exit(1);  // NOLINT(concurrency-mt-unsafe): set-up, before any thread starts
    }
    path_ = pattern;
    // NOLINTNEXTLINE(concurrency-mt-unsafe): set-up, before any thread starts
    ::setenv("XDG_STATE_HOME", path_.c_str(), 1);
  }
  ~ScratchFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

ScratchFolder& scratch() {
  static ScratchFolder folder;
  return folder;
}

Logger reminderLog() { return VelkLog::getLogger(LogFilePrefix::VELK_UPDATE_REMINDER); }

// The bytes of one line as the logger writes it, read back from its file.
std::string sampleLine() {
  const VelkCertificateHistoryFileController caller;
  const std::string file = scratch().path() + "/velk/logs/update-reminder.log";
  reminderLog().debug(kMessage, &caller, kOperation);
  std::ifstream in(file, std::ios::binary);
  const std::string all{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  if (all.empty() || all.back() != '\n') {
    return {};
  }
  const std::size_t start = all.rfind('\n', all.size() - 2);
  return all.substr(start == std::string::npos ? 0 : start + 1);
}

void bareWrite(benchmark::State& state) {
  const std::string line = sampleLine();
  const std::string file = scratch().path() + "/bare.log";
  const int fd = ::open(file.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0 || line.empty()) {
    state.SkipWithError("cannot open the bare file or make the sample line");
    return;
  }
  off_t size = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(::write(fd, line.data(), line.size()));
    // Kept as small as the rotated log, so both write into a file of the
    // same size.
    size += static_cast<off_t>(line.size());
    if (size >= kFileLimit) {
      benchmark::DoNotOptimize(::ftruncate(fd, 0));
      size = 0;
    }
  }
  ::close(fd);
  state.SetLabel(std::to_string(line.size()) + " bytes");
}

void loggerDebug(benchmark::State& state) {
  const Logger log = reminderLog();
  const VelkCertificateHistoryFileController caller;
  for (auto _ : state) {
    log.debug(kMessage, &caller, kOperation);
  }
}

BENCHMARK(bareWrite);
BENCHMARK(loggerDebug);

struct Times {
  double real = 0;
  double cpu = 0;
};

// Shows the runs as usual and keeps each benchmark's median times.
class MedianReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median") {
        medians_[run.run_name.function_name] = {run.GetAdjustedRealTime(),
                                                run.GetAdjustedCPUTime()};
      }
    }
  }

  const std::map<std::string, Times>& medians() const { return medians_; }

 private:
  std::map<std::string, Times> medians_;
};

}  // namespace

int main(int argc, char** argv) {
  // Repeated and interleaved by default, so both see the same machine load;
  // flags given on the command line come later and win.
  std::vector<char*> args{argv[0]};
  std::string repetitions = "--benchmark_repetitions=15";
  std::string interleaving = "--benchmark_enable_random_interleaving=true";
  std::string aggregates = "--benchmark_display_aggregates_only=true";
  args.push_back(repetitions.data());
  args.push_back(interleaving.data());
  args.push_back(aggregates.data());
  args.insert(args.end(), argv + 1, argv + argc);
  int count = static_cast<int>(args.size());
  benchmark::Initialize(&count, args.data());
  if (benchmark::ReportUnrecognizedArguments(count, args.data())) {
    return 1;
  }
  scratch();
  MedianReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();

  const auto& medians = reporter.medians();
  const auto bare = medians.find("bareWrite");
  const auto logged = medians.find("loggerDebug");
  if (bare == medians.end() || logged == medians.end() || bare->second.real <= 0 ||
      bare->second.cpu <= 0) {
    return 0;  // a filter left one of them out
  }
  std::printf("\nmedian per line     bare write(2)   logger debug   ratio (goal <= 1.50)\n");
  std::printf("  real time        %10.0f ns  %10.0f ns   %.2f\n", bare->second.real,
              logged->second.real, logged->second.real / bare->second.real);
  std::printf("  CPU time         %10.0f ns  %10.0f ns   %.2f\n", bare->second.cpu,
              logged->second.cpu, logged->second.cpu / bare->second.cpu);
  return 0;
}
