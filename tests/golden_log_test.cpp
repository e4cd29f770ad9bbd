// The whole log of each way through the two entry points, one golden file in
// tests/golden/ each. Every other test checks single lines.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "VelkUpdateReminder/VelkCertificateHistorySave.h"
#include "appkit/Application.h"
#include "appkit/EventBackend.h"
#include "support/GoldenLog.h"
#include "support/HistoryTest.h"
#include "support/LockHolder.h"
#include "support/PermissionsEnforced.h"
#include "support/Records.h"

namespace {

using namespace std::chrono_literals;
using velktest::recordLine;
using velktest::writeHistory;
namespace fs = std::filesystem;

class GoldenLogTest : public velktest::HistoryTest {
 protected:
  // Today is 2026-01-15: 0B and 0A expire within three months, 0C has expired,
  // 0D expires later.
  const std::string kHistory =
      "1\n" + recordLine("S", "0A", "2026-03-01") + recordLine("A", "0B", "2026-02-01") +
      recordLine("A", "0C", "2026-01-14") + recordLine("S", "0D", "2027-01-01");
  const std::string kNotUtf8 = "1\n" + recordLine("S", "0A", "2026-03-01") + "S,\xff,2026\n";

  // The whole log so far against tests/golden/<name>.log.
  void expectLog(const std::string& name) const {
    velktest::expectGolden(name, velktest::goldenLines(home.logFile(), home.root()));
  }
  static void record(const std::string& dcClass = "A") {
    VelkCertificateHistorySave::saveFile(dcClass,
                                         velktest::certificate({0x12, 0x34}, 2027y / 6 / 1));
  }
  // `path` can be read but not written (by root too) while `enforced` lives.
  void readOnly(const std::string& path) {
    fs::permissions(path, fs::perms::owner_read | fs::perms::owner_exec);
    enforced.emplace();
  }
  ~GoldenLogTest() override {
    enforced.reset();
    std::error_code ignored;
    fs::permissions(home.appDir(), fs::perms::owner_all, ignored);
  }

  std::optional<velktest::PermissionsEnforced> enforced;
};

TEST_F(GoldenLogTest, RecordNewHistory) {
  record();
  expectLog("record-new-history");
}

TEST_F(GoldenLogTest, RecordExistingHistory) {
  writeHistory(home, kHistory + recordLine("A", "1234", "2026-12-01"));
  record();
  expectLog("record-existing-history");
}

TEST_F(GoldenLogTest, RecordRefusedClass) {
  record("X");
  expectLog("record-refused-class");
}

TEST_F(GoldenLogTest, RecordUnparsable) {
  VelkCertificateHistorySave::saveFile("A", {});
  expectLog("record-unparsable");
}

TEST_F(GoldenLogTest, RecordUnreadableHistory) {
  writeHistory(home, kNotUtf8);
  record();
  expectLog("record-unreadable-history");
}

TEST_F(GoldenLogTest, RecordWriteError) {
  writeHistory(home, kHistory);
  readOnly(home.historyFile());
  record();
  expectLog("record-write-error");
}

TEST_F(GoldenLogTest, RecordCreateError) {
  fs::create_directories(home.appDir());
  velktest::writeFileBytes(home.lockFile(), "");
  readOnly(home.appDir());
  record();
  expectLog("record-create-error");
}

TEST_F(GoldenLogTest, RecordLockError) {
  writeHistory(home, kHistory);
  const velktest::LockHolder other(home.lockFile());
  ASSERT_TRUE(other.holding());
  record();  // waits ten seconds for the lock
  expectLog("record-lock-error");
}

TEST_F(GoldenLogTest, RemindNoHistory) {
  alert();
  expectLog("remind-no-history");
}

TEST_F(GoldenLogTest, RemindUnreadableHistory) {
  writeHistory(home, kNotUtf8);
  alert();
  expectLog("remind-unreadable-history");
}

TEST_F(GoldenLogTest, RemindSettingOff) {
  writeHistory(home, "0\n" + recordLine("S", "0A", "2026-03-01"));
  alert();
  expectLog("remind-setting-off");
}

TEST_F(GoldenLogTest, RemindNothingDue) {
  writeHistory(home, "1\n" + recordLine("S", "0D", "2027-01-01"));
  alert();
  expectLog("remind-nothing-due");
}

TEST_F(GoldenLogTest, RemindShown) {
  writeHistory(home, kHistory);
  alert("alt+c\n");
  expectLog("remind-shown");
}

TEST_F(GoldenLogTest, RemindUnreadableAfterWindow) {
  writeHistory(home, kHistory);
  screen.whenShown([&] { writeHistory(home, kNotUtf8); });
  alert("alt+c\n");
  expectLog("remind-unreadable-after-window");
}

TEST_F(GoldenLogTest, RemindWriteError) {
  writeHistory(home, kHistory);
  screen.whenShown([&] { readOnly(home.historyFile()); });
  alert("alt+c\n");
  expectLog("remind-write-error");
}

TEST_F(GoldenLogTest, RemindNoInput) {
  writeHistory(home, kHistory);
  appkit::Application::shared().setEventBackend(nullptr);
  alert();
  expectLog("remind-no-input");
}

TEST_F(GoldenLogTest, RemindLock1Error) {
  writeHistory(home, kHistory);
  const velktest::LockHolder other(home.lockFile());
  ASSERT_TRUE(other.holding());
  alert("alt+c\n");  // waits ten seconds for the lock
  expectLog("remind-lock1-error");
}

TEST_F(GoldenLogTest, RemindLock2Error) {
  writeHistory(home, kHistory);
  std::unique_ptr<velktest::LockHolder> other;
  screen.whenShown([&] { other = std::make_unique<velktest::LockHolder>(home.lockFile()); });
  alert("alt+c\n");  // waits ten seconds for the lock again
  expectLog("remind-lock2-error");
}

}  // namespace
