// Reads of a 100,000-line and a 1,000-line certificate history taking turns,
// with the ratio of their medians: a read's cost grows with the file, and no
// faster.
//
//   history_bench [PAIRS]
//
// Each history lives in a data home of its own (XDG_DATA_HOME), named before
// each read (a look-up that costs next to nothing beside the read); every log
// line goes to the real log file, in the temporary home.
#include <stdlib.h>  // NOLINT(modernize-deprecated-headers): setenv

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

#include "BenchSupport.h"
#include "VelkUpdateReminder/VelkCertificateHistoryFileController.h"
#include "VelkUpdateReminder/VelkUpdateReminderCommon.h"

namespace {

void setDataHome(const std::string& folder) {
  ::setenv("XDG_DATA_HOME", folder.c_str(), 1);  // NOLINT(concurrency-mt-unsafe): one thread
}

// Writes, in the data home `folder`, a history of `lines` lines: the setting
// line, invalid record lines of both kinds (wrong field count, wrong class)
// and 10 valid records at the end, so that a read walks the whole file. The
// invalid lines are short (dates with the fewest digits the form takes, three
// in four lines with two fields), so that 100,000 lines stay below the
// largest history a read takes (1 MiB).
void writeHistory(const std::string& folder, std::int64_t lines) {
  setDataHome(folder);
  std::string text = "1\n";
  for (std::int64_t n = 0; n < lines - 11; ++n) {
    text += n % 4 == 3 ? "X,0,1-1-1,1-1-1 1:1:1\n" : "S,0\n";
  }
  for (int n = 0; n < 10; ++n) {
    text += std::string(n % 2 != 0 ? "A" : "S") + ",0" + std::to_string(n) + ",20" +
            std::to_string(25 + n) + "-0" + std::to_string(1 + n % 9) + "-28,2025-03-09 14:0" +
            std::to_string(n) + ":00\n";
  }
  const std::filesystem::path path = VelkUpdateReminderCommon::getCertificateHistoryFilePath();
  std::filesystem::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

// One read of the history in the data home `folder`, which must yield its 10
// records.
void readTen(const std::string& folder) {
  setDataHome(folder);
  VelkCertificateHistoryFileController controller;
  if (!controller.readFile(10) || controller.getCertificateHistoryInfoList().size() != 10) {
    fail("history_bench: a read did not take the 10 records");
  }
}

}  // namespace

int main(int argc, char** argv) {
  const BenchHome home;
  const std::string large = home.root + "/large";
  const std::string small = home.root + "/small";
  writeHistory(large, 100000);
  writeHistory(small, 1000);
  // A 100,000-line read takes a while: fewer pairs than the other benchmarks.
  timePairs("read 100,000 lines against 1,000 lines", pairsArgument(argc, argv, 1, 15),
            {"readFile, 100,000 lines", [&] { readTen(large); }},
            {"readFile, 1,000 lines", [&] { readTen(small); }}, 110);
  return 0;
}
