// One reminder run on a history of ten records, against its floor, through
// the installed framework as a host calls it.
//
//   alert_bench [PAIRS]
//
// The job writes the ten-record history (two expire within three months) and
// calls VelkUpdateReminderDialog::alert(): lock, read, select, unlock,
// storyboard read and instantiated, the window shown, lock, read again,
// remove, write, unlock; every log line written to the real log file. The
// event backend closes the window as soon as it is asked for input and draws
// nothing, so the window's own time is left out. The floor writes the same
// history and makes the system calls the run makes, with the same bytes:
// check the folder, lock, check and read the history, unlock, check the
// storyboard (the framework keeps the storyboard it has parsed while the
// file stays the same, so a run after the first reads it no more), lock,
// read the history, check the folder, write the history alert() writes,
// unlock, and one O_APPEND write per log line of exactly the lines one run
// writes (and the log's size check every 64 lines). Both logs are kept below
// the rotation size; logger_bench measures rotation.
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <typeinfo>
#include <vector>

#include "BenchHome.h"
#include "BenchSupport.h"
#include "PairedTimer.h"
#include "VelkUpdateReminder/VelkUpdateReminder.h"
#include "foundation/Clock.h"

namespace {

using namespace std::chrono;

constexpr int kDefaultPairs = 301;
constexpr double kGoal = 1.2;

// Today is 15 January 2030: 0A and 0B expire within three months, the other
// eight later; the run leaves those eight.
constexpr const char* kHistory =
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

// Shows nothing and closes each window at its first wait for input, as a
// user who closes it at once.
class ClosingBackend : public appkit::EventBackend {
 public:
  void displayWindow(appkit::Window& /*window*/) override { ++shown; }
  void windowDidOrderOut(appkit::Window& /*window*/) override {}
  std::optional<appkit::Event> nextEvent(const std::shared_ptr<appkit::Window>& window) override {
    return closeButtonClick(window);
  }

  int shown = 0;
};

struct Setup {
  std::string history;
  std::string storyboard;
  std::vector<std::string> logLines;
  std::string historyAfter;
  std::string floorFolder;
  std::string floorHistory;
  std::string floorLockFile;
  int floorLog = -1;
};

Setup& setup() {
  static Setup instance;
  return instance;
}

void remind() {
  writeFloor(setup().history, kHistory);
  std::make_shared<VelkUpdateReminderDialog>(std::nullopt, nullptr)->alert();
}

void floorRun() {
  const Setup& s = setup();
  writeFloor(s.floorHistory, kHistory);

  statFloor(s.floorFolder);
  int lock = ::open(s.floorLockFile.c_str(), O_RDONLY | O_CREAT | O_CLOEXEC, 0644);
  ::flock(lock, LOCK_EX);
  statFloor(s.floorHistory);
  readFloor(s.floorHistory);
  ::flock(lock, LOCK_UN);
  ::close(lock);

  // Found in the bundle, then compared with the parsed one.
  statFloor(s.storyboard);
  statFloor(s.storyboard);

  lock = ::open(s.floorLockFile.c_str(), O_RDONLY | O_CREAT | O_CLOEXEC, 0644);
  ::flock(lock, LOCK_EX);
  readFloor(s.floorHistory);
  statFloor(s.floorFolder);
  writeFloor(s.floorHistory, s.historyAfter);
  ::flock(lock, LOCK_UN);
  ::close(lock);

  writeLogLines(s.floorLog, s.logLines);
}

}  // namespace

int main(int argc, char** argv) {
  const int pairs = argc == 2 ? std::atoi(argv[1]) : kDefaultPairs;
  const BenchHome home;
  if (!home.valid()) {
    return 1;
  }
  const foundation::ScopedClock clock(
      [] { return foundation::Date(sys_days(2030y / 1 / 15) + hours(12)); });
  auto backend = std::make_unique<ClosingBackend>();
  const ClosingBackend& closing = *backend;
  appkit::Application::shared().setEventBackend(std::move(backend));

  Setup& s = setup();
  s.history = VelkUpdateReminderCommon::getCertificateHistoryFilePath();
  std::filesystem::create_directories(std::filesystem::path(s.history).parent_path());
  const auto bundle = appkit::Bundle::forClass(typeid(VelkUpdateReminderDialog));
  const auto storyboard =
      bundle ? bundle->pathForResource("VelkUpdateReminder", "storyboard") : std::nullopt;
  if (!storyboard) {
    std::fprintf(stderr, "alert_bench: the storyboard VelkUpdateReminder is not found\n");
    return 1;
  }
  s.storyboard = *storyboard;

  // One run's log lines as they reach the file; then check that the run
  // showed the window and dropped the two records.
  remind();
  s.logLines = logLinesOf(home.log(), remind);
  s.historyAfter = readAll(s.history);
  if (closing.shown != 2 || s.historyAfter.find(",0A,") != std::string::npos ||
      s.historyAfter.find(",0B,") != std::string::npos) {
    std::fprintf(stderr, "alert_bench: the run did not show the window and drop 0A and 0B\n");
    return 1;
  }
  s.floorFolder = home.root();
  s.floorHistory = home.root() + "/floor.dc_list";
  s.floorLockFile = home.root() + "/floor.lock";
  s.floorLog = openAppend(home.root() + "/floor.log");
  if (s.floorLog < 0) {
    std::perror("alert_bench: floor log");
    return 1;
  }
  std::printf("one reminder run on ten records writes %zu log lines, %zu bytes\n",
              s.logLines.size(), totalSize(s.logLines));

  PairedTimer timer;
  const std::string log = home.log();
  timer.run(pairs, remind, floorRun, [&] { keepBelowRotation(log, s.floorLog); });
  timer.report("reminder", "alert()", "floor", kGoal);
  appkit::Application::shared().setEventBackend(nullptr);
  ::close(s.floorLog);
  return 0;
}
