// Writes arbitrary bytes as the history file and reads them with
// readFile(varidReadRowCount:) and the record limit of 10, saves with
// saveFile(), and reads again on a new controller. The second read must give
// the same setting and the same records, field for field, and saving that
// again must write the same bytes: whatever a file holds, one read and save
// leave it in the form the controller keeps.

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "VelkUpdateReminder/VelkCertificateHistoryFileController.h"
#include "support/FuzzFiles.h"
#include "support/FuzzHome.h"

namespace {

constexpr std::int64_t kReadRowCount = 10;

[[noreturn]] void fail(const char* what) {
  std::fprintf(stderr, "history_file_fuzzer: %s\n", what);
  std::abort();
}

struct History {
  bool isUpdate = false;
  std::vector<std::array<std::string, 4>> records;

  bool operator==(const History&) const = default;
};

History historyOf(VelkCertificateHistoryFileController& controller) {
  History history;
  history.isUpdate = controller.isUpdateSetting();
  for (const auto& info : controller.getCertificateHistoryInfoList()) {
    history.records.push_back({info->dcClass, info->serialNumber, info->notAfter, info->openTime});
  }
  return history;
}

velkfuzz::FuzzHome* home = nullptr;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* /*argc*/, char*** /*argv*/) {
  // Dates are read in the system time zone; by default one whose clocks
  // skipped midnight in some years, so that days without a midnight are read
  // too.
  ::setenv("TZ", "America/Sao_Paulo", 0);  // NOLINT(concurrency-mt-unsafe): before any thread
  static velkfuzz::FuzzHome fuzzHome;
  home = &fuzzHome;
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  velkfuzz::writeFileOrAbort(home->historyFile(), data, size);

  History first;
  {
    VelkCertificateHistoryFileController controller;
    controller.readFile(kReadRowCount);
    first = historyOf(controller);
    if (first.records.size() > static_cast<std::size_t>(kReadRowCount)) {
      fail("more records read than asked for");
    }
    if (!controller.saveFile()) {
      fail("saveFile() failed");
    }
  }
  const std::string saved = velkfuzz::readFileOrAbort(home->historyFile());

  VelkCertificateHistoryFileController controller;
  if (!controller.readFile(kReadRowCount)) {
    fail("a file that saveFile() wrote does not read");
  }
  if (historyOf(controller) != first) {
    fail("the second read differs from the first");
  }
  if (!controller.saveFile() || velkfuzz::readFileOrAbort(home->historyFile()) != saved) {
    fail("saving the second read wrote other bytes");
  }
  return 0;
}
