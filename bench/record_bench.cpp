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
// of exactly the lines one recording writes (and the log's size check every
// 64 lines), check the folder again, write the history in place, unlock and
// close.
// Both logs are kept below the rotation size; logger_bench measures rotation.
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "BenchHome.h"
#include "BenchSupport.h"
#include "PairedTimer.h"
#include "VelkUpdateReminder/VelkCertificateHistorySave.h"
#include "VelkUpdateReminder/VelkUpdateReminderCommon.h"
#include "foundation/Clock.h"

namespace {

using namespace std::chrono;
using Bytes = std::vector<std::int8_t>;

constexpr int kDefaultPairs = 301;
constexpr double kGoal = 1.2;

struct Setup {
  std::vector<Bytes> certificates;
  std::size_t next = 0;
  // One recording's log lines and the history text it writes.
  std::vector<std::string> logLines;
  std::string historyText;
  // The floor's own files.
  std::string floorFolder;
  std::string floorHistory;
  std::string floorLockFile;
  int floorLog = -1;
  // The frozen clock's time.
  foundation::Date now{sys_days(2030y / 1 / 1) + hours(12)};
};

Setup& setup() {
  static Setup instance;
  return instance;
}

std::vector<Bytes> readCertificates(const std::string& folder) {
  std::vector<std::filesystem::path> paths;
  std::error_code failure;
  for (const auto& entry : std::filesystem::directory_iterator(folder, failure)) {
    paths.push_back(entry.path());
  }
  std::sort(paths.begin(), paths.end());
  std::vector<Bytes> certificates;
  for (const auto& path : paths) {
    const std::string bytes = readAll(path);
    certificates.emplace_back(bytes.begin(), bytes.end());
  }
  return certificates;
}

// The frozen clock moves one second per recording, so each new record is the
// most recent and the history keeps ten records throughout.
void recordNext() {
  Setup& s = setup();
  s.now += seconds(1);
  VelkCertificateHistorySave::saveFile(s.next % 2 == 0 ? "A" : "S", s.certificates[s.next]);
  s.next = (s.next + 1) % s.certificates.size();
}

void floorRecording() {
  const Setup& s = setup();
  statFloor(s.floorFolder);
  const int lock = ::open(s.floorLockFile.c_str(), O_RDONLY | O_CREAT | O_CLOEXEC, 0644);
  ::flock(lock, LOCK_EX);
  statFloor(s.floorHistory);
  readFloor(s.floorHistory);
  writeLogLines(s.floorLog, s.logLines);
  statFloor(s.floorFolder);
  writeFloor(s.floorHistory, s.historyText);
  ::flock(lock, LOCK_UN);
  ::close(lock);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || argc > 3) {
    std::fprintf(stderr, "usage: record_bench CERTIFICATE_DIR [PAIRS]\n");
    return 2;
  }
  const int pairs = argc == 3 ? std::atoi(argv[2]) : kDefaultPairs;
  const BenchHome home;
  Setup& s = setup();
  s.certificates = readCertificates(argv[1]);
  if (!home.valid() || s.certificates.size() < 12) {
    std::fprintf(stderr, "record_bench: needs a home and at least 12 certificates in %s\n",
                 argv[1]);
    return 1;
  }
  const foundation::ScopedClock clock([] { return setup().now; });

  // Fill the history to ten records, then take one recording's log lines as
  // they reach the file.
  for (int n = 0; n < 12; ++n) {
    recordNext();
  }
  const std::string history = VelkUpdateReminderCommon::getCertificateHistoryFilePath();
  s.logLines = logLinesOf(home.log(), recordNext);
  s.historyText = readAll(history);
  if (std::count(s.historyText.begin(), s.historyText.end(), '\n') != 11 || s.logLines.empty()) {
    std::fprintf(stderr, "record_bench: the recording did not keep ten records\n");
    return 1;
  }
  s.floorFolder = home.root();
  s.floorHistory = home.root() + "/floor.dc_list";
  s.floorLockFile = home.root() + "/floor.lock";
  writeFloor(s.floorHistory, s.historyText);
  s.floorLog = openAppend(home.root() + "/floor.log");
  if (s.floorLog < 0) {
    std::perror("record_bench: floor log");
    return 1;
  }
  std::printf("one recording into ten records writes %zu log lines, %zu bytes\n", s.logLines.size(),
              totalSize(s.logLines));

  PairedTimer timer;
  const std::string log = home.log();
  timer.run(pairs, recordNext, floorRecording, [&] { keepBelowRotation(log, s.floorLog); });
  timer.report("recording", "saveFile(dcClass:dcInfo:)", "floor", kGoal);
  ::close(s.floorLog);
  return 0;
}
