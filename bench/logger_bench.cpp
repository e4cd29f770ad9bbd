// One log line through the installed framework's logger against a bare
// write(2) of the same bytes to an O_APPEND descriptor, taking turns in one
// process; then the same with the log's rotation in every sample.
//
//   logger_bench [PAIRS]
//
// A sample is kLinesPerSample lines; both files are emptied between samples
// once past half the rotation size, so the first comparison has no rotation.
// In the second, every sample writes enough lines for the log to rotate once,
// against bare writes with the file cut to nothing at the same size.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "BenchHome.h"
#include "BenchSupport.h"
#include "PairedTimer.h"
#include "VelkCommon/VelkLog.h"
#include "VelkUpdateReminder/VelkCertificateHistoryFileController.h"

namespace {

constexpr int kDefaultPairs = 301;
constexpr int kLinesPerSample = 100;
constexpr int kRotationPairs = 21;
constexpr off_t kRotateSize = off_t{1} << 20;
constexpr double kGoal = 1.2;

constexpr const char* kMessage = " *** readFile(varidReadRowCount:Int) -> Bool  START *** ";
constexpr const char* kOperation = "readFile(varidReadRowCount:)";

const Logger& reminderLog() {
  static const Logger log = VelkLog::getLogger(LogFilePrefix::VELK_UPDATE_REMINDER);
  return log;
}

void logLine() {
  reminderLog().debug(kMessage, LogCaller::of<VelkCertificateHistoryFileController>(), kOperation);
}

void logLines(int count) {
  for (int n = 0; n < count; ++n) {
    logLine();
  }
}

}  // namespace

int main(int argc, char** argv) {
  const int pairs = argc == 2 ? std::atoi(argv[1]) : kDefaultPairs;
  const BenchHome home;
  if (!home.valid()) {
    return 1;
  }
  const std::vector<std::string> sample = logLinesOf(home.log(), logLine);
  const int bare = openAppend(home.root() + "/bare.log");
  if (sample.size() != 1 || bare < 0) {
    std::fprintf(stderr, "logger_bench: no sample line or no bare file\n");
    return 1;
  }
  const std::string& line = sample.front();
  std::printf("one line of %zu bytes\n", line.size());

  const std::string log = home.log();
  PairedTimer lines(kLinesPerSample);
  lines.run(
      pairs, [] { logLines(kLinesPerSample); },
      [&] {
        for (int n = 0; n < kLinesPerSample; ++n) {
          if (::write(bare, line.data(), line.size()) < 0) {
            return;
          }
        }
      },
      [&] { keepBelowRotation(log, bare); });
  lines.report("one log line", "Logger::debug", "write(2) of its bytes", kGoal);

  // Enough lines for one rotation per sample.
  const int perRotation = static_cast<int>(kRotateSize / static_cast<off_t>(line.size())) + 1;
  // What the first comparison left in the file counts towards its cut.
  off_t bareSize = ::lseek(bare, 0, SEEK_END);
  PairedTimer rotation(perRotation);
  rotation.run(
      kRotationPairs, [&] { logLines(perRotation); },
      [&] {
        for (int n = 0; n < perRotation; ++n) {
          if (::write(bare, line.data(), line.size()) < 0) {
            return;
          }
          bareSize += static_cast<off_t>(line.size());
          if (bareSize >= kRotateSize && ::ftruncate(bare, 0) == 0) {
            bareSize = 0;
          }
        }
      });
  rotation.report("one log line, rotation included", "Logger::debug", "write(2), ftruncate(2)", 0);
  ::close(bare);
  return 0;
}
