// Recording a read certificate: what the history file holds afterwards.
#include "VelkUpdateReminder/VelkCertificateHistorySave.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "CertificateFactory.h"
#include "VelkUpdateReminder/VelkCertificateHistoryFileController.h"
#include "support/ChildProcesses.h"
#include "support/HistoryTest.h"
#include "support/LockHolder.h"
#include "support/PermissionsEnforced.h"
#include "support/Records.h"

namespace {

using namespace std::chrono;
using testing::Contains;
using velktest::certificate;
using velktest::CertificateFactory;
using velktest::recordLine;
using Bytes = std::vector<std::int8_t>;
namespace fs = std::filesystem;

constexpr year_month_day kFar = 2040y / 6 / 1;

// Today is 2026-01-15, noon.
class RecordingTest : public velktest::HistoryTest {
 protected:
  std::string history() const { return velktest::history(home); }
};

TEST_F(RecordingTest, MergesTheRecordIntoTheHistory) {
  VelkCertificateHistorySave::saveFile("A", certificate({0x12, 0x34}, kFar));
  EXPECT_EQ(history(), "0\nA,1234,2040-06-01,2026-01-15 12:00:00\n");
  EXPECT_TRUE(velktest::lockIsFree(home.lockFile()));

  // The same class and serial: updated with the newer expiry and time, and
  // first; the setting is kept as it was.
  velktest::writeHistory(home, "1\n" + recordLine("S", "0A", "2031-01-01", "2025-04-01 08:00:00") +
                                   recordLine("A", "0B", "2032-02-02", "2025-03-01 08:00:00"));
  VelkCertificateHistorySave::saveFile("A", certificate({0x0B}, 2035y / 3 / 3));
  EXPECT_EQ(history(), "1\n" + recordLine("A", "0B", "2035-03-03", "2026-01-15 12:00:00") +
                           recordLine("S", "0A", "2031-01-01", "2025-04-01 08:00:00"));
  // The same serial with the other class is another certificate.
  now += minutes(1);
  VelkCertificateHistorySave::saveFile("S", certificate({0x0B}, 2036y / 4 / 4));
  EXPECT_EQ(history(), "1\n" + recordLine("S", "0B", "2036-04-04", "2026-01-15 12:01:00") +
                           recordLine("A", "0B", "2035-03-03", "2026-01-15 12:00:00") +
                           recordLine("S", "0A", "2031-01-01", "2025-04-01 08:00:00"));
}

TEST_F(RecordingTest, ElevenRecordsKeepTheTenMostRecent) {
  std::string expected;
  for (int n = 1; n <= 11; ++n) {
    const std::string serial = {'0', static_cast<char>(n < 10 ? '0' + n : 'A' + n - 10)};
    VelkCertificateHistorySave::saveFile("S", certificate({static_cast<std::uint8_t>(n)}, kFar));
    if (n > 1) {
      expected.insert(0, recordLine("S", serial, "2040-06-01",
                                    "2026-01-15 12:" + std::string(n < 11 ? "0" : "") +
                                        std::to_string(n - 1) + ":00"));
    }
    now += minutes(1);
  }
  EXPECT_EQ(history(), "0\n" + expected);
}

TEST_F(RecordingTest, ExpiredCertificatesLeaveInTheSameCallWhileExpiringTodayStays) {
  // The last second of the day still counts as today.
  now = CertificateFactory::localNoon(2031y / 3 / 15) + hours(11) + minutes(59) + seconds(59);
  velktest::writeHistory(home, "0\n" + recordLine("A", "01", "2031-03-14") +
                                   recordLine("S", "02", "2031-03-15") +
                                   recordLine("A", "03", "2020-01-01"));
  VelkCertificateHistorySave::saveFile("A", certificate({0x04}, 2031y / 3 / 14));
  EXPECT_EQ(history(), "0\n" + recordLine("S", "02", "2031-03-15"));
  VelkCertificateHistorySave::saveFile("S", certificate({0x05}, 2031y / 3 / 15));
  EXPECT_EQ(history(), "0\n" + recordLine("S", "05", "2031-03-15", "2031-03-15 23:59:59") +
                           recordLine("S", "02", "2031-03-15"));
}

TEST_F(RecordingTest, FailuresChangeNothingAndReleaseTheLock) {
  struct Case {
    std::string name;
    // Spoils the application directory, whose history holds one record.
    std::function<void()> spoil;
    std::string line;
  };
  const std::vector<Case> cases = {
      {"history not writable", [&] { fs::permissions(home.historyFile(), fs::perms::owner_read); },
       " *** file write error *** "},
      {"history not readable", [&] { fs::permissions(home.historyFile(), fs::perms::none); },
       " *** readFile error : file read error *** "},
      {"history missing, directory not writable",
       [&] {
         fs::remove(home.historyFile());
         fs::permissions(home.appDir(), fs::perms::owner_read | fs::perms::owner_exec);
       },
       " *** createNewCertificateFile error : file write error *** "},
  };
  for (const Case& c : cases) {
    velktest::writeHistory(home, "0\n" + recordLine("A", "01", "2040-06-01"));
    c.spoil();
    {
      const velktest::PermissionsEnforced enforced;
      VelkCertificateHistorySave::saveFile("A", certificate({0x02}, kFar));
    }
    fs::permissions(home.appDir(), fs::perms::owner_all);
    EXPECT_THAT(log.newLines(), Contains(testing::Field(&velktest::LogLine::message, c.line)))
        << c.name;
    EXPECT_TRUE(velktest::lockIsFree(home.lockFile())) << c.name;
    if (fs::exists(home.historyFile())) {
      fs::permissions(home.historyFile(), fs::perms::owner_all);
      EXPECT_EQ(history(), "0\n" + recordLine("A", "01", "2040-06-01")) << c.name;
    }
  }
}

TEST(RecordingProcessesTest, ConcurrentRecordingsKeepTheHistoryConsistent) {
  const velktest::TempHome home;
  constexpr int kProcesses = 4;
  constexpr int kEach = 40;
  std::vector<Bytes> certificates;
  certificates.reserve(std::size_t{kProcesses} * kEach);
  for (int n = 0; n < kProcesses * kEach; ++n) {
    certificates.push_back(certificate({static_cast<std::uint8_t>(n)}, kFar));
  }
  ASSERT_TRUE(velktest::runInChildren(kProcesses, [&](int process) {
    for (int n = process * kEach; n < (process + 1) * kEach; ++n) {
      VelkCertificateHistorySave::saveFile(n % 3 == 0 ? "A" : "S", certificates[n]);
    }
    return true;
  }));
  // No recording met a lock error, and every line reads back as a record of
  // its own certificate.
  const std::string log = velktest::readFileBytes(home.logFile());
  EXPECT_EQ(log.find(" *** lock error *** "), std::string::npos);
  const std::string text = velktest::readFileBytes(home.historyFile());
  VelkCertificateHistoryFileController controller;
  ASSERT_TRUE(controller.readFile(1000));
  const auto records = controller.getCertificateHistoryInfoList();
  EXPECT_EQ(records.size() + 1,
            static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')));
  EXPECT_EQ(records.size(), 10U);
  std::set<std::string> seen;
  for (const auto& record : records) {
    EXPECT_TRUE(seen.insert(record->getDcClass() + record->getSerialNumber()).second);
  }
}

}  // namespace
