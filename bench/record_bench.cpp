// One recording into a history of ten records, against its floor, through
// the installed framework as a host calls it.
//
//   record_bench CERTIFICATE_DIR [PAIRS]
//
// CERTIFICATE_DIR holds DER certificates (scripts/bench makes 64 of them with
// velk-make-cert), recorded in turn so that each recording adds a record and
// drops the oldest. The job is VelkCertificateHistorySave::saveFile(dcClass:
// dcInfo:): certificate parse, lock, read, merge, sort, trim, write, unlock,
// every log line written to the real log file. The floor makes the system
// calls the job makes, with the same bytes: check the folder, open and flock
// the lock file, check and read the history, one O_APPEND write per log line
// of exactly the lines one recording writes (and the log's check of its path
// every 64 lines), check the folder again, write the history in place, unlock
// and close. Both logs are kept below the rotation size; logger_bench
// measures rotation.
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "VelkUpdateReminder/VelkCertificateHistorySave.h"
#include "VelkUpdateReminder/VelkUpdateReminderCommon.h"
#include "foundation/Clock.h"

int main(int argc, char** argv) {
  using namespace std::chrono;
  if (argc < 2 || argc > 3) {
    fail("usage: record_bench CERTIFICATE_DIR [PAIRS]");
  }
  const BenchHome home;
  std::vector<std::vector<std::int8_t>> certificates;
  for (const auto& path : std::set<std::filesystem::path>(
           std::filesystem::directory_iterator(argv[1]), std::filesystem::directory_iterator())) {
    const std::string bytes = readAll(path);
    certificates.emplace_back(bytes.begin(), bytes.end());
  }
  if (certificates.size() < 12) {
    fail("record_bench: needs at least 12 certificates");
  }
  // The frozen clock moves one second per recording, so each new record is
  // the most recent and the history keeps ten records throughout.
  foundation::Date now{sys_days(2030y / 1 / 1) + hours(12)};
  const foundation::ScopedClock clock([&] { return now; });
  std::size_t next = 0;
  const auto record = [&] {
    now += seconds(1);
    VelkCertificateHistorySave::saveFile(next % 2 == 0 ? "A" : "S", certificates[next]);
    next = (next + 1) % certificates.size();
  };

  // Fill the history to ten records, then take one recording's log lines as
  // they reach the file.
  for (int n = 0; n < 12; ++n) {
    record();
  }
  const std::vector<std::string> logLines = logLinesOf("one recording into ten records", record);
  const std::string history = readAll(VelkUpdateReminderCommon::getCertificateHistoryFilePath());
  if (std::count(history.begin(), history.end(), '\n') != 11 || logLines.empty()) {
    fail("record_bench: the recording did not keep ten records");
  }

  const std::string floorHistory = home.root + "/floor.dc_list";
  const std::string floorLock = home.root + "/floor.lock";
  writeFloor(floorHistory, history);
  FloorLog floorLog(home.root + "/floor.log");
  const auto floor = [&] {
    statFloor(home.root);
    const FloorLock lock(floorLock);
    statFloor(floorHistory);
    readFloor(floorHistory);
    floorLog.write(logLines);
    statFloor(home.root);
    writeFloor(floorHistory, history);
  };
  timePairs("recording", pairsArgument(argc, argv, 2, 301), {"saveFile(dcClass:dcInfo:)", record},
            {"floor", floor}, 1.3, 1, [&] { floorLog.keepBelowRotation(); });
  return 0;
}
