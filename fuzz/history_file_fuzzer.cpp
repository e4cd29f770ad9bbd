// Writes arbitrary bytes as the history file and reads them with
// readFile(varidReadRowCount:) and the record limit of 10, saves with
// saveFile(), and reads again on a new controller. The second read must give
// the same setting and the same records, field for field, and saving that
// again must write the same bytes: whatever a file holds, one read and save
// leave it in the form the controller keeps.
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "FuzzSupport.h"
#include "VelkUpdateReminder/VelkCertificateHistoryFileController.h"
#include "VelkUpdateReminder/VelkUpdateReminderCommon.h"

namespace {

using velkfuzz::fail;
using History = std::pair<bool, std::vector<std::array<std::string, 4>>>;

// The setting and the records read from the history file; fails when the
// read fails and `mustRead`.
History read(VelkCertificateHistoryFileController& controller, bool mustRead) {
  if (!controller.readFile(10) && mustRead) {
    fail("history_file_fuzzer: a file that saveFile() wrote does not read");
  }
  History history{controller.isUpdateSetting(), {}};
  for (const auto& info : controller.getCertificateHistoryInfoList()) {
    history.second.push_back({info->dcClass, info->serialNumber, info->notAfter, info->openTime});
  }
  if (history.second.size() > 10) {
    fail("history_file_fuzzer: more records read than asked for");
  }
  return history;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* /*argc*/, char*** /*argv*/) {
  // Dates are read in the system time zone; by default one whose clocks
  // skipped midnight in some years, so that days without a midnight are read
  // too.
  ::setenv("TZ", "America/Sao_Paulo", 0);  // NOLINT(concurrency-mt-unsafe): before any thread
  static const velkfuzz::FuzzHome home;
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string path = VelkUpdateReminderCommon::getCertificateHistoryFilePath();
  velkfuzz::writeFile(path, std::string_view(reinterpret_cast<const char*>(data), size));
  VelkCertificateHistoryFileController first;
  const History history = read(first, false);
  if (!first.saveFile()) {
    fail("history_file_fuzzer: saveFile() failed");
  }
  const std::string saved = velkfuzz::readFile(path);
  VelkCertificateHistoryFileController second;
  if (read(second, true) != history) {
    fail("history_file_fuzzer: the second read differs from the first");
  }
  if (!second.saveFile() || velkfuzz::readFile(path) != saved) {
    fail("history_file_fuzzer: saving the second read wrote other bytes");
  }
  return 0;
}
