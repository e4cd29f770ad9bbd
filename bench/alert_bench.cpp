// One reminder run on a history of ten records, through the text backend with
// a scripted close, against the floor: the same file and log I/O with no work
// around it.
//
//   BM_Alert  writes the ten-record history (two expire within three months),
//             then VelkUpdateReminderDialog::alert(): lock, read, select,
//             unlock, storyboard read and instantiated, window drawn as text
//             (into memory), the input "close" handled, lock, read again,
//             remove, write, unlock; every log line written to the real log
//             file (in a temporary XDG_STATE_HOME).
//   BM_Floor  writes the same history, then the same system calls: flock the
//             lock file, read the history, unlock, read the storyboard file,
//             flock, read the history, write the history alert() writes,
//             unlock, and one O_APPEND write per log line with the very lines
//             one run writes.
//
// After the run it prints both medians and the share of a run spent outside
// file and log I/O: (alert - floor) / alert.

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <sstream>
#include <string>
#include <typeinfo>
#include <vector>

#include "BenchSupport.h"
#include "MedianReporter.h"
#include "VelkUpdateReminder/VelkUpdateReminderCommon.h"
#include "VelkUpdateReminder/VelkUpdateReminderDialog.h"
#include "appkit/Application.h"
#include "appkit/Bundle.h"
#include "appkit/TextEventBackend.h"
#include "foundation/Clock.h"

namespace {

using namespace std::chrono;

// Today is 15 January 2030: 0A and 0B expire within three months, the other
// eight later; the run leaves those eight.
const std::string& history() {
  static const std::string text =
      "1\n"
      "S,0A,2030-03-01,2029-06-01 10:00:00\n"
      "A,0B,2030-02-01,2029-06-02 10:00:00\n"
      "S,10,2031-01-01,2029-06-03 10:00:00\n"
      "A,11,2031-02-01,2029-06-04 10:00:00\n"
      "S,12,2031-03-01,2029-06-05 10:00:00\n"
      "A,13,2031-04-01,2029-06-06 10:00:00\n"
      "S,14,2031-05-01,2029-06-07 10:00:00\n"
      "A,15,2031-06-01,2029-06-08 10:00:00\n"
      "S,16,2031-07-01,2029-06-09 10:00:00\n"
      "A,17,2031-08-01,2029-06-10 10:00:00\n";
  return text;
}

struct Setup {
  std::string root;
  std::string history;
  std::string lockFile;
  std::string log;
  std::string storyboard;
  // One run's log lines and the history text it writes.
  std::vector<std::string> logLines;
  std::string historyAfter;
  // The floor's own files.
  std::string floorHistory;
  std::string floorLockFile;
  int floorLog = -1;
};

Setup setup;

// The text backend's input and screen.
std::istringstream& input() {
  static std::istringstream stream;
  return stream;
}

std::ostringstream& screen() {
  static std::ostringstream stream;
  return stream;
}

void writeFile(const std::string& path, const std::string& text) {
  const int out = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  writeAll(out, text);
  ::close(out);
}

void readFile(const std::string& path) {
  const int in = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  std::array<char, 65536> buffer{};
  while (::read(in, buffer.data(), buffer.size()) > 0) {
  }
  ::close(in);
}

void remind() {
  writeFile(setup.history, history());
  input().clear();
  input().str("close\n");
  screen().str("");
  std::make_shared<VelkUpdateReminderDialog>(std::nullopt, nullptr)->alert();
}

bool prepare() {
  setup.root = makeBenchHome();
  if (setup.root.empty()) {
    return false;
  }
  setup.history = VelkUpdateReminderCommon::getCertificateHistoryFilePath();
  setup.lockFile = VelkUpdateReminderCommon::getCeritificateHistoryLockFilePath();
  setup.log = setup.root + "/state/velk/logs/update-reminder.log";
  std::filesystem::create_directories(std::filesystem::path(setup.history).parent_path());
  auto bundle = appkit::Bundle::forClass(typeid(VelkUpdateReminderDialog));
  auto storyboard =
      bundle ? bundle->pathForResource("VelkUpdateReminder", "storyboard") : std::nullopt;
  if (!storyboard) {
    std::fprintf(stderr, "alert_bench: the storyboard VelkUpdateReminder is not found\n");
    return false;
  }
  setup.storyboard = *storyboard;

  // One run's log lines as they reach the file; then check that the run did
  // its work.
  remind();
  setup.logLines = logLinesOf(setup.log, remind);
  setup.historyAfter = readAll(setup.history);
  if (screen().str().find("| 署名用") == std::string::npos ||
      setup.historyAfter.find(",0A,") != std::string::npos ||
      setup.historyAfter.find(",0B,") != std::string::npos) {
    std::fprintf(stderr, "alert_bench: the run did not show and drop 0A and 0B\n");
    return false;
  }

  setup.floorHistory = setup.root + "/floor.dc_list";
  setup.floorLockFile = setup.root + "/floor.lock";
  setup.floorLog =
      ::open((setup.root + "/floor.log").c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
  return setup.floorLog >= 0;
}

void floorRun() {
  writeFile(setup.floorHistory, history());

  int lock = ::open(setup.floorLockFile.c_str(), O_RDONLY | O_CREAT | O_CLOEXEC, 0644);
  ::flock(lock, LOCK_EX);
  readFile(setup.floorHistory);
  ::flock(lock, LOCK_UN);
  ::close(lock);

  readFile(setup.storyboard);

  lock = ::open(setup.floorLockFile.c_str(), O_RDONLY | O_CREAT | O_CLOEXEC, 0644);
  ::flock(lock, LOCK_EX);
  readFile(setup.floorHistory);
  writeFile(setup.floorHistory, setup.historyAfter);
  ::flock(lock, LOCK_UN);
  ::close(lock);

  writeLogLines(setup.floorLog, setup.logLines);
}

void BM_Alert(benchmark::State& state) {
  for (auto _ : state) {
    remind();
  }
}

void BM_Floor(benchmark::State& state) {
  for (auto _ : state) {
    floorRun();
  }
}

BENCHMARK(BM_Alert)->Repetitions(15)->ReportAggregatesOnly(true)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Floor)->Repetitions(15)->ReportAggregatesOnly(true)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  const foundation::ScopedClock clock(
      [] { return foundation::Date(sys_days(2030y / 1 / 15) + hours(12)); });
  // The streams first, so that they outlive the application that uses them.
  std::istringstream& in = input();
  std::ostringstream& out = screen();
  appkit::Application::shared().setEventBackend(
      std::make_unique<appkit::TextEventBackend>(in, out));
  if (!prepare()) {
    return 1;
  }
  std::printf("one reminder run on ten records writes %zu log lines, %zu bytes\n",
              setup.logLines.size(), totalSize(setup.logLines));

  MedianReporter reporter;
  runInterleaved(argc, argv, reporter);

  const auto alert = reporter.median("BM_Alert");
  const auto floor = reporter.median("BM_Floor");
  const auto report = [](const char* what, double run, double floor) {
    std::printf(
        "%s median alert() %.1f us, median floor %.1f us, outside I/O %.1f us (%.0f%% of "
        "the run)\n",
        what, run, floor, run - floor, 100.0 * (run - floor) / run);
  };
  if (alert && floor) {
    report("real time:", alert->realMicroseconds, floor->realMicroseconds);
    report("CPU time: ", alert->cpuMicroseconds, floor->cpuMicroseconds);
  }
  appkit::Application::shared().setEventBackend(nullptr);
  ::close(setup.floorLog);
  std::error_code ignored;
  std::filesystem::remove_all(setup.root, ignored);
  return 0;
}
