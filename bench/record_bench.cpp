// One recording into a history of ten records, against the floor: the same
// system calls with no work around them.
//
//   BM_Recording  VelkCertificateHistorySave::saveFile: parse, lock, read,
//                 merge, sort, trim, write, unlock, every log line written to
//                 the real log file (in a temporary XDG_STATE_HOME).
//   BM_Floor      open and flock the lock file, read the history, one
//                 O_APPEND write per log line with the very lines and bytes
//                 one recording writes, write the history, unlock.
//
// After the run it prints both medians and their ratio (goal: at most 1.3),
// and, when it knows where velk-host is, the peak resident memory of one
// `velk-host record`.

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <stdlib.h>  // NOLINT(modernize-deprecated-headers): mkdtemp, setenv
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "MedianReporter.h"
#include "VelkUpdateReminder/VelkCertificateHistorySave.h"
#include "VelkUpdateReminder/VelkUpdateReminderCommon.h"
#include "foundation/Clock.h"
#include "CertificateFactory.h"

namespace {

using namespace std::chrono;
using velktest::CertificateFactory;
using Bytes = std::vector<std::int8_t>;

// Certificates recorded in turn: many more than the history keeps, so each
// recording adds a record and trims the oldest.
constexpr int kRecorded = 64;

struct Setup {
  std::string root;
  std::string history;
  std::string lockFile;
  std::string log;
  std::vector<Bytes> certificates;
  // One recording's log lines and the history text it writes.
  std::vector<std::string> logLines;
  std::string historyText;
  // The floor's own files.
  std::string floorHistory;
  std::string floorLockFile;
  int floorLog = -1;
  // The frozen clock's time (set in prepare()).
  foundation::Date now;
};

Setup setup;  // NOLINT(cert-err58-cpp): empty members, nothing can throw

// The frozen clock moves one second per recording, so each new record is the
// most recent and the history keeps ten records throughout.
void recordNext() {
  static int next = 0;
  setup.now += seconds(1);
  VelkCertificateHistorySave::saveFile(next % 2 == 0 ? "A" : "S", setup.certificates[next]);
  next = (next + 1) % kRecorded;
}

bool prepare() {
  setup.root = makeBenchHome();
  if (setup.root.empty()) {
    return false;
  }
  setup.now = CertificateFactory::localNoon(2030y / 1 / 1);
  setup.history = VelkUpdateReminderCommon::getCertificateHistoryFilePath();
  setup.lockFile = VelkUpdateReminderCommon::getCeritificateHistoryLockFilePath();
  setup.log = setup.root + "/state/velk/logs/update-reminder.log";
  for (int n = 0; n < kRecorded; ++n) {
    setup.certificates.push_back(
        CertificateFactory::make({0x40, static_cast<std::uint8_t>(n)},
                                 CertificateFactory::localNoon(2040y / 1 / 1))
            .der);
  }

  // Fill the history to ten records, then take one recording's log lines as
  // they reach the file (retrying if the log happened to rotate meanwhile).
  for (int n = 0; n < 12; ++n) {
    recordNext();
  }
  setup.logLines = logLinesOf(setup.log, recordNext);
  setup.historyText = readAll(setup.history);

  setup.floorHistory = setup.root + "/floor.dc_list";
  setup.floorLockFile = setup.root + "/floor.lock";
  std::ofstream(setup.floorHistory, std::ios::binary) << setup.historyText;
  setup.floorLog =
      ::open((setup.root + "/floor.log").c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
  return setup.floorLog >= 0;
}

void floorRecording() {
  const int lock = ::open(setup.floorLockFile.c_str(), O_RDONLY | O_CREAT | O_CLOEXEC, 0644);
  ::flock(lock, LOCK_EX);

  const int in = ::open(setup.floorHistory.c_str(), O_RDONLY | O_CLOEXEC);
  static std::array<char, 65536> buffer;
  while (::read(in, buffer.data(), buffer.size()) > 0) {
  }
  ::close(in);

  writeLogLines(setup.floorLog, setup.logLines);

  const int out =
      ::open(setup.floorHistory.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  writeAll(out, setup.historyText);
  ::close(out);

  ::flock(lock, LOCK_UN);
  ::close(lock);
}

void BM_Recording(benchmark::State& state) {
  for (auto _ : state) {
    recordNext();
  }
}

void BM_Floor(benchmark::State& state) {
  for (auto _ : state) {
    floorRecording();
  }
}

BENCHMARK(BM_Recording)->Repetitions(15)->ReportAggregatesOnly(true)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Floor)->Repetitions(15)->ReportAggregatesOnly(true)->Unit(benchmark::kMicrosecond);

// The peak resident set of one `velk-host record`, in KiB; -1 when it did
// not run.
long hostPeakKiB() {
#ifdef VELK_HOST
  const std::string certificate = setup.root + "/host.der";
  const Bytes& der = setup.certificates.front();
  std::ofstream(certificate, std::ios::binary)
      .write(reinterpret_cast<const char*>(der.data()), static_cast<std::streamsize>(der.size()));
  const pid_t child = ::fork();
  if (child == 0) {
    // A history of its own: the benchmark's records carry frozen times.
    // NOLINTNEXTLINE(concurrency-mt-unsafe): the child runs no other threads
    setenv("XDG_DATA_HOME", (setup.root + "/host-data").c_str(), 1);
    const int null = ::open("/dev/null", O_WRONLY);
    ::dup2(null, 1);
    ::execl(VELK_HOST, VELK_HOST, "record", "--class", "A", certificate.c_str(),
            static_cast<char*>(nullptr));
    ::_exit(127);
  }
  int status = 0;
  rusage usage{};
  if (child < 0 || ::wait4(child, &status, 0, &usage) != child || !WIFEXITED(status) ||
      WEXITSTATUS(status) != 0) {
    return -1;
  }
  return usage.ru_maxrss;
#else
  return -1;
#endif
}

}  // namespace

int main(int argc, char** argv) {
  const foundation::ScopedClock clock([] { return setup.now; });
  if (!prepare()) {
    return 1;
  }
  std::printf("one recording into ten records writes %zu log lines, %zu bytes\n",
              setup.logLines.size(), totalSize(setup.logLines));

  MedianReporter reporter;
  runInterleaved(argc, argv, reporter);

  const auto recording = reporter.median("BM_Recording");
  const auto floor = reporter.median("BM_Floor");
  if (recording && floor) {
    std::printf("real time: median recording %.1f us, median floor %.1f us, ratio %.2f\n",
                recording->realMicroseconds, floor->realMicroseconds,
                recording->realMicroseconds / floor->realMicroseconds);
    std::printf("CPU time:  median recording %.1f us, median floor %.1f us, ratio %.2f\n",
                recording->cpuMicroseconds, floor->cpuMicroseconds,
                recording->cpuMicroseconds / floor->cpuMicroseconds);
    std::printf("goal: recording at most 1.30 times the floor\n");
  }
  if (const long peak = hostPeakKiB(); peak >= 0) {
    std::printf("velk-host record: peak resident memory %ld KiB\n", peak);
  }
  ::close(setup.floorLog);
  std::error_code ignored;
  std::filesystem::remove_all(setup.root, ignored);
  return 0;
}
