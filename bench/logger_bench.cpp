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

#include <string>
#include <vector>

#include "BenchSupport.h"
#include "VelkCommon/VelkLog.h"
#include "VelkUpdateReminder/VelkCertificateHistoryFileController.h"

namespace {

constexpr int kLinesPerSample = 100;
constexpr int kRotationPairs = 21;
constexpr off_t kRotateSize = off_t{1} << 20;

void logLines(int count) {
  static const Logger log = VelkLog::getLogger(LogFilePrefix::VELK_UPDATE_REMINDER);
  for (int n = 0; n < count; ++n) {
    log.debug(" *** readFile(varidReadRowCount:Int) -> Bool  START *** ",
              LogCaller::of<VelkCertificateHistoryFileController>(),
              "readFile(varidReadRowCount:)");
  }
}

}  // namespace

int main(int argc, char** argv) {
  const BenchHome home;
  const std::vector<std::string> sample = logLinesOf("one debug call", [] { logLines(1); });
  if (sample.size() != 1) {
    fail("logger_bench: one debug call did not write one line");
  }
  const std::string& line = sample.front();
  const FloorLog bare(home.root + "/bare.log");
  const auto writeBare = [&] {
    if (::write(bare.fd.get(), line.data(), line.size()) < 0) {
      fail("logger_bench: write failed");
    }
  };
  timePairs("one log line", pairsArgument(argc, argv, 1, 301),
            {"Logger::debug", [] { logLines(kLinesPerSample); }},
            {"write(2) of its bytes",
             [&] {
               for (int n = 0; n < kLinesPerSample; ++n) {
                 writeBare();
               }
             }},
            1.3, kLinesPerSample, [&] { bare.keepBelowRotation(); });

  // Enough lines for one rotation per sample; what the first comparison left
  // in the bare file counts towards its cut.
  const int perRotation = static_cast<int>(kRotateSize / static_cast<off_t>(line.size())) + 1;
  off_t bareSize = ::lseek(bare.fd.get(), 0, SEEK_END);
  timePairs("one log line, rotation included", kRotationPairs,
            {"Logger::debug", [&] { logLines(perRotation); }},
            {"write(2), ftruncate(2)",
             [&] {
               for (int n = 0; n < perRotation; ++n) {
                 writeBare();
                 bareSize += static_cast<off_t>(line.size());
                 if (bareSize >= kRotateSize && ::ftruncate(bare.fd.get(), 0) == 0) {
                   bareSize = 0;
                 }
               }
             }},
            0, perRotation);
  return 0;
}
