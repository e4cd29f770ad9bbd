// Recording a read certificate: what the history file holds afterwards.
#include "VelkUpdateReminder/VelkCertificateHistorySave.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <string>

#include "CertificateFactory.h"
#include "support/HistoryTest.h"
#include "support/LockHolder.h"
#include "support/Records.h"

namespace {

using namespace std::chrono;
using velktest::certificate;
using velktest::CertificateFactory;
using velktest::recordLine;

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

}  // namespace
