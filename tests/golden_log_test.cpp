// The whole log of each way through the two entry points, against the golden
// files in tests/golden/. Every other test checks single lines.
#include <gtest/gtest.h>

#include <cstddef>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "VelkUpdateReminder/VelkCertificateHistorySave.h"
#include "appkit/Application.h"
#include "appkit/EventBackend.h"
#include "support/GoldenLog.h"
#include "support/HistoryTest.h"
#include "support/LockHolder.h"
#include "support/PermissionsEnforced.h"
#include "support/Records.h"
#include "support/ScopedMonitor.h"

namespace {

using namespace std::chrono_literals;
using velktest::certificate;
using velktest::recordLine;
using velktest::writeHistory;

class GoldenLogTest : public velktest::HistoryTest {
 protected:
  // Today is 2026-01-15: 0B and 0A expire within three months, 0C has expired,
  // 0D expires later.
  const std::string kHistory =
      "1\n" + recordLine("S", "0A", "2026-03-01") + recordLine("A", "0B", "2026-02-01") +
      recordLine("A", "0C", "2026-01-14") + recordLine("S", "0D", "2027-01-01");
  const std::string kNotUtf8 = "1\n" + recordLine("S", "0A", "2026-03-01") + "S,\xff,2026\n";

  // Compares the lines logged since the last call with the golden file `name`.
  void expectLog(const std::string& name) {
    const std::vector<std::string> all = velktest::goldenLines(home.logFile(), home.root());
    velktest::expectGolden(name, std::vector<std::string>(all.begin() + seen_, all.end()));
    seen_ = static_cast<std::ptrdiff_t>(all.size());
  }
  static void record(const std::string& dcClass = "A") {
    VelkCertificateHistorySave::saveFile(dcClass, certificate({0x12, 0x34}, 2027y / 6 / 1));
  }
  // The history can be read but not written until writable() (root included).
  void makeHistoryReadOnly() {
    std::filesystem::permissions(home.historyFile(), std::filesystem::perms::owner_read);
    enforced_.emplace();
  }
  void writable() {
    enforced_.reset();
    std::filesystem::permissions(home.historyFile(), std::filesystem::perms::owner_all);
  }

 private:
  std::ptrdiff_t seen_ = 0;
  std::optional<velktest::PermissionsEnforced> enforced_;
};

TEST_F(GoldenLogTest, Recording) {
  record();
  expectLog("record-new-history");
  writeHistory(home, kHistory + recordLine("A", "1234", "2026-12-01"));
  record();
  expectLog("record-existing-history");
  record("X");
  expectLog("record-refused-class");
  VelkCertificateHistorySave::saveFile("A", {});
  expectLog("record-unparsable");
  writeHistory(home, kNotUtf8);
  record();
  expectLog("record-unreadable-history");
  writeHistory(home, kHistory);
  makeHistoryReadOnly();
  record();
  writable();
  expectLog("record-write-error");
  std::filesystem::remove(home.historyFile());
  std::filesystem::permissions(
      home.appDir(), std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
  {
    const velktest::PermissionsEnforced enforced;
    record();
  }
  std::filesystem::permissions(home.appDir(), std::filesystem::perms::owner_all);
  expectLog("record-create-error");
  const velktest::LockHolder other(home.lockFile());
  ASSERT_TRUE(other.holding());
  record();  // waits ten seconds for the lock
  expectLog("record-lock-error");
}

TEST_F(GoldenLogTest, Reminder) {
  alert();
  expectLog("remind-no-history");
  writeHistory(home, kNotUtf8);
  alert();
  expectLog("remind-unreadable-history");
  writeHistory(home, "0\n" + recordLine("S", "0A", "2026-03-01"));
  alert();
  expectLog("remind-setting-off");
  writeHistory(home, "1\n" + recordLine("S", "0D", "2027-01-01"));
  alert();
  expectLog("remind-nothing-due");
  writeHistory(home, kHistory);
  alert("alt+c\n");
  expectLog("remind-shown");
  writeHistory(home, kHistory);
  {
    const velktest::ScopedMonitor whileUp =
        velktest::onFirstEvent([&] { writeHistory(home, kNotUtf8); });
    alert("alt+c\n");
  }
  expectLog("remind-unreadable-after-window");
  writeHistory(home, kHistory);
  {
    const velktest::ScopedMonitor whileUp = velktest::onFirstEvent([&] { makeHistoryReadOnly(); });
    alert("alt+c\n");
  }
  writable();
  expectLog("remind-write-error");
  writeHistory(home, kHistory);
  appkit::Application::shared().setEventBackend(nullptr);
  std::make_shared<VelkUpdateReminderDialog>(std::nullopt, nullptr)->alert();
  expectLog("remind-no-input");
}

TEST_F(GoldenLogTest, ReminderGivesUpOnTheLock) {
  writeHistory(home, kHistory);
  {
    const velktest::LockHolder other(home.lockFile());
    ASSERT_TRUE(other.holding());
    alert("alt+c\n");  // waits ten seconds for the lock
  }
  expectLog("remind-lock1-error");
  std::unique_ptr<velktest::LockHolder> other;
  {
    const velktest::ScopedMonitor whileUp = velktest::onFirstEvent(
        [&] { other = std::make_unique<velktest::LockHolder>(home.lockFile()); });
    alert("alt+c\n");  // waits ten seconds for the lock again
  }
  expectLog("remind-lock2-error");
}

}  // namespace
