// Speed and memory of the certificate history store.
//
//   history_bench [benchmark options]
//
// Times one record cycle on a 10-record history (read, sort, select, save,
// each alone and all together); then reads of a 100,000-line and a 1,000-line
// history taking turns, with the ratio of their medians; then the peak memory
// of a read of 1,000, 10,000 and 100,000 lines, measured in a fresh child
// process as the growth of its maximum resident set. Every log line goes to
// the real log file, in the temporary home; the histories compared and
// measured live in data homes of their own (XDG_DATA_HOME).
#include <benchmark/benchmark.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "BenchHome.h"
#include "PairedTimer.h"
#include "VelkUpdateReminder/VelkCertificateHistoryFileController.h"
#include "VelkUpdateReminder/VelkUpdateReminderCommon.h"

namespace {

using Controller = VelkCertificateHistoryFileController;

constexpr std::array<std::int64_t, 3> kLineCounts = {1000, 10000, 100000};
// A 100,000-line read takes seconds: fewer pairs than the other benchmarks.
constexpr int kReadPairs = 15;
constexpr double kReadGoal = 110;

// A valid record line; serial numbers differ with `n`.
std::string validLine(int n) {
  std::array<char, 80> line{};
  std::snprintf(line.data(), line.size(), "%s,%08X,20%02d-%02d-28,2025-03-09 14:%02d:00",
                n % 2 != 0 ? "A" : "S", n, 25 + n % 5, 1 + n % 12, n % 60);
  return line.data();
}

// A history of `lines` lines: the setting line, invalid record lines of both
// kinds (wrong field count, wrong class) and 10 valid records at the end, so
// that a read walks the whole file. The invalid lines are short (dates with
// the fewest digits the form takes, three in four lines with two fields), so
// that 100,000 lines stay below the largest history a read takes (1 MiB).
std::string historyText(std::int64_t lines) {
  std::string text = "1\n";
  for (std::int64_t n = 0; n < lines - 11; ++n) {
    text += n % 4 == 3 ? "X,0,1-1-1,1-1-1 1:1:1\n" : "S,0\n";
  }
  for (int n = 0; n < 10; ++n) {
    text += validLine(n) + "\n";
  }
  return text;
}

void writeHistory(const std::string& text) {
  const std::filesystem::path path = VelkUpdateReminderCommon::getCertificateHistoryFilePath();
  std::filesystem::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

const std::string& tenRecords() {
  static const std::string text = historyText(11);
  return text;
}

void BM_ReadTenRecords(benchmark::State& state) {
  writeHistory(tenRecords());
  Controller controller;
  for (auto _ : state) {
    benchmark::DoNotOptimize(controller.readFile(10));
  }
}
BENCHMARK(BM_ReadTenRecords)->Unit(benchmark::kMicrosecond);

void BM_SortTenRecords(benchmark::State& state) {
  writeHistory(tenRecords());
  Controller controller;
  controller.readFile(10);
  int round = 0;
  for (auto _ : state) {
    controller.sort(++round % 2 != 0 ? Controller::SORT_TYPE::SORT_NOT_AFTER
                                     : Controller::SORT_TYPE::SORT_OPEN_TIME);
  }
}
BENCHMARK(BM_SortTenRecords)->Unit(benchmark::kMicrosecond);

void BM_SelectTenRecords(benchmark::State& state) {
  writeHistory(tenRecords());
  Controller controller;
  controller.readFile(10);
  const foundation::DateComponents today = VelkUpdateReminderCommon::getSystemDate();
  for (auto _ : state) {
    benchmark::DoNotOptimize(
        controller.getNotAfterList(today, VelkUpdateReminderCommon::NOT_AFTER_LIMIT_MONTH));
    benchmark::DoNotOptimize(controller.getNotAfterCheck(today));
  }
}
BENCHMARK(BM_SelectTenRecords)->Unit(benchmark::kMicrosecond);

void BM_SaveTenRecords(benchmark::State& state) {
  writeHistory(tenRecords());
  Controller controller;
  controller.readFile(10);
  for (auto _ : state) {
    benchmark::DoNotOptimize(controller.saveFile());
  }
}
BENCHMARK(BM_SaveTenRecords)->Unit(benchmark::kMicrosecond);

// What the reminder does with the history under its lock.
void BM_RecordCycleTenRecords(benchmark::State& state) {
  writeHistory(tenRecords());
  for (auto _ : state) {
    Controller controller;
    controller.readFile(VelkUpdateReminderCommon::HISTORY_MAX_COUNT);
    controller.sort(Controller::SORT_TYPE::SORT_NOT_AFTER);
    const foundation::DateComponents today = VelkUpdateReminderCommon::getSystemDate();
    benchmark::DoNotOptimize(
        controller.getNotAfterList(today, VelkUpdateReminderCommon::NOT_AFTER_LIMIT_MONTH));
    controller.removeSameData(controller.getNotAfterCheck(today));
    benchmark::DoNotOptimize(controller.saveFile());
  }
}
BENCHMARK(BM_RecordCycleTenRecords)->Unit(benchmark::kMicrosecond);

// The largest resident set this program has had since it started, in KiB
// (VmHWM: getrusage() would also count the parent's before the exec).
long maxResidentKiB() {
  std::ifstream status("/proc/self/status");
  std::string field;
  long kib = -1;
  while (status >> field) {
    if (field == "VmHWM:") {
      status >> kib;
      break;
    }
  }
  return kib;
}

// The resident set of this process now, in KiB.
long residentKiB() {
  long pages = 0;
  long resident = 0;
  std::ifstream("/proc/self/statm") >> pages >> resident;
  return resident * (::sysconf(_SC_PAGESIZE) / 1024);
}

constexpr const char* kPeakReadOption = "--peak-read";

std::string historyPath() { return VelkUpdateReminderCommon::getCertificateHistoryFilePath(); }

// Run as a fresh process (kPeakReadOption): reads the history once and
// writes its resident set before the read and its peak resident set, in
// KiB, to the ".rss" file beside it. The code paths are warmed first on the small history left in
// the ".small" file, so that code and library pages touched for the first
// time do not count.
int peakReadChild() {
  const std::string path = historyPath();
  std::filesystem::rename(path, path + ".big");
  std::filesystem::rename(path + ".small", path);
  {
    Controller warm;
    warm.readFile(10);
  }
  std::filesystem::rename(path + ".big", path);
  const long before = residentKiB();
  {
    Controller controller;
    controller.readFile(10);
  }
  std::ofstream(path + ".rss") << before << ' ' << maxResidentKiB();
  return 0;
}

struct PeakMemory {
  long beforeKiB = -1;  // resident set before the read
  long peakKiB = -1;    // largest resident set up to the read's end
};

// The memory a fresh controller in a fresh process uses to read a history of
// `lines` lines; -1 values when that process fails. A new process, because
// freed memory that this one keeps would hide what a read needs.
PeakMemory readPeak(std::int64_t lines, std::uintmax_t& fileBytes) {
  const std::string text = historyText(lines);
  writeHistory(text);
  fileBytes = text.size();
  std::ofstream(historyPath() + ".small", std::ios::binary) << historyText(20);
  const pid_t child = ::fork();
  if (child == 0) {
    std::string name = "history_bench";
    std::string option = kPeakReadOption;
    const std::array<char*, 3> args = {name.data(), option.data(), nullptr};
    ::execv("/proc/self/exe", args.data());
    ::_exit(127);
  }
  int status = 0;
  if (child < 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status) ||
      WEXITSTATUS(status) != 0) {
    return {};
  }
  PeakMemory memory;
  std::ifstream(historyPath() + ".rss") >> memory.beforeKiB >> memory.peakKiB;
  return memory;
}

void setDataHome(const std::string& folder) {
  // NOLINTNEXTLINE(concurrency-mt-unsafe): the benchmark runs no other threads
  ::setenv("XDG_DATA_HOME", folder.c_str(), 1);
}

// One read of the history, which must yield its 10 records.
bool readTen() {
  Controller controller;
  return controller.readFile(10) && controller.getCertificateHistoryInfoList().size() == 10;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && std::string(argv[1]) == kPeakReadOption) {
    return peakReadChild();
  }
  const BenchHome home;
  if (!home.valid()) {
    return 1;
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
    return 1;
  }
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();

  // The two histories in data homes of their own; each read names its home
  // first (a look-up that costs next to nothing beside the read).
  const std::string largeHome = home.root() + "/large";
  const std::string smallHome = home.root() + "/small";
  const auto putHistory = [](const std::string& dataHome, std::int64_t lines) {
    setDataHome(dataHome);
    writeHistory(historyText(lines));
  };
  putHistory(largeHome, kLineCounts[2]);
  putHistory(smallHome, kLineCounts[0]);
  bool allRead = true;
  PairedTimer reads;
  reads.run(
      kReadPairs,
      [&] {
        setDataHome(largeHome);
        allRead = readTen() && allRead;
      },
      [&] {
        setDataHome(smallHome);
        allRead = readTen() && allRead;
      });
  setDataHome(home.root() + "/data");
  if (!allRead) {
    std::fprintf(stderr, "history_bench: a read did not take the 10 records\n");
    return 1;
  }
  reads.report("read 100,000 lines against 1,000 lines", "readFile, 100,000 lines",
               "readFile, 1,000 lines", kReadGoal);

  std::printf("\npeak memory of one read, in a fresh process:\n");
  for (const std::int64_t lines : kLineCounts) {
    std::uintmax_t bytes = 0;
    const PeakMemory memory = readPeak(lines, bytes);
    const long growth = memory.peakKiB - memory.beforeKiB;
    const double goal = 4.0 * static_cast<double>(bytes) / 1024.0 + 1024.0;
    std::printf(
        "  %6lld lines, file %8ju bytes: resident %6ld KiB before, peak %6ld KiB, "
        "growth %6ld KiB (goal <= %.0f KiB) %s\n",
        static_cast<long long>(lines), bytes, memory.beforeKiB, memory.peakKiB, growth, goal,
        memory.peakKiB < 0                    ? "FAILED"
        : static_cast<double>(growth) <= goal ? "ok"
                                              : "OVER");
  }
  return 0;
}
