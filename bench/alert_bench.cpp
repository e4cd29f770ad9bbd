// One reminder run on a history of ten records, against its floor, through
// the installed framework as a host calls it.
//
//   alert_bench [PAIRS]
//
// The job writes the ten-record history (two expire within three months) and
// calls VelkUpdateReminderDialog::alert(): lock, read, select, unlock, the
// bundle looked up and the storyboard read, parsed and instantiated, the
// window shown, lock, read again, remove, write, unlock; every log line
// written to the real log file. The event backend closes the window as soon
// as it is asked for input and draws nothing, so the window's own time is
// left out. The floor writes the same history and makes the system calls the
// run makes, with the same bytes: check the folder, lock, check and read the
// history, unlock, find the storyboard in the bundle and read it (open, read
// to its end, close: nothing of it is kept between runs), lock, read the
// history, check the folder, write the history alert() writes, unlock, and
// one O_APPEND write per log line of exactly the lines one run writes (and
// the log's check of its path every 64 lines). Both logs are kept below the
// rotation size; logger_bench measures rotation.
#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <typeinfo>
#include <vector>

#include "BenchSupport.h"
#include "VelkUpdateReminder/VelkUpdateReminder.h"
#include "appkit/Application.h"
#include "appkit/EventBackend.h"
#include "foundation/Clock.h"

namespace {

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
  bool displayWindow(appkit::Window& /*window*/) override {
    ++shown;
    return true;
  }
  std::optional<appkit::Input> nextInput(appkit::Window& /*window*/) override {
    return appkit::Input{.kind = appkit::Input::Kind::CloseButton};
  }

  int shown = 0;
};

}  // namespace

int main(int argc, char** argv) {
  using namespace std::chrono;
  const BenchHome home;
  const foundation::ScopedClock clock(
      [] { return foundation::Date(sys_days(2030y / 1 / 15) + hours(12)); });
  auto backend = std::make_unique<ClosingBackend>();
  const ClosingBackend& closing = *backend;
  appkit::Application::shared().setEventBackend(std::move(backend));

  const std::string history = VelkUpdateReminderCommon::getCertificateHistoryFilePath();
  std::filesystem::create_directories(std::filesystem::path(history).parent_path());
  const auto bundle = appkit::Bundle::forClass(typeid(VelkUpdateReminderDialog));
  const auto storyboard =
      bundle ? bundle->pathForResource("VelkUpdateReminder", "storyboard") : std::nullopt;
  if (!storyboard) {
    fail("alert_bench: the storyboard VelkUpdateReminder is not found");
  }
  const auto remind = [&] {
    writeFloor(history, kHistory);
    std::make_shared<VelkUpdateReminderDialog>(std::nullopt, nullptr)->alert();
  };

  // One run's log lines as they reach the file; then check that the run
  // showed the window and dropped the two records.
  remind();
  const std::vector<std::string> logLines = logLinesOf("one reminder run on ten records", remind);
  const std::string historyAfter = readAll(history);
  if (closing.shown != 2 || historyAfter.find(",0A,") != std::string::npos ||
      historyAfter.find(",0B,") != std::string::npos) {
    fail("alert_bench: the run did not show the window and drop 0A and 0B");
  }

  const std::string floorHistory = home.root + "/floor.dc_list";
  const std::string floorLock = home.root + "/floor.lock";
  FloorLog floorLog(home.root + "/floor.log");
  const auto floor = [&] {
    writeFloor(floorHistory, kHistory);
    statFloor(home.root);
    {
      const FloorLock lock(floorLock);
      statFloor(floorHistory);
      readFloor(floorHistory);
    }
    statFloor(*storyboard);
    readFloor(*storyboard);
    {
      const FloorLock lock(floorLock);
      readFloor(floorHistory);
      statFloor(home.root);
      writeFloor(floorHistory, historyAfter);
    }
    floorLog.write(logLines);
  };
  timePairs("reminder", pairsArgument(argc, argv, 1, 301), {"alert()", remind}, {"floor", floor}, 0,
            1, [&] { floorLog.keepBelowRotation(); });
  appkit::Application::shared().setEventBackend(nullptr);
  return 0;
}
