#include "VelkUpdateReminder/VelkUpdateReminderCommon.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>

#include "foundation/Calendar.h"
#include "foundation/Clock.h"
#include "support/LogLines.h"
#include "support/ScopedEnv.h"
#include "support/TempHome.h"

namespace {

using foundation::Calendar;
using foundation::Date;
using foundation::DateComponents;
using testing::Contains;
using Common = VelkUpdateReminderCommon;

TEST(VelkUpdateReminderCommonPaths, HistoryAndLockFileLieInTheApplicationDirectory) {
  const velktest::TempHome home;
  EXPECT_EQ(Common::getCertificateHistoryFilePath(), home.historyFile());
  EXPECT_EQ(Common::getCeritificateHistoryLockFilePath(), home.lockFile());
  EXPECT_FALSE(std::filesystem::exists(home.appDir()));
}

class VelkUpdateReminderCommonDates : public testing::TestWithParam<const char*> {
 protected:
  velktest::ScopedEnv tz_{"TZ", GetParam()};
  velktest::TempHome home_;
  velktest::LogLines log_{home_.logFile()};
  Calendar calendar_ = Calendar::current();
};

TEST_P(VelkUpdateReminderCommonDates, TodayAndItsMidnight) {
  // Late in the day, a leap day's last millisecond, the last second of a
  // year, and instants on days on which the clocks of New York or Lord Howe
  // change.
  for (const std::int64_t epochMillis :
       {1741501800000LL, 1709251199999LL, 1759622400000LL, 1743863400000LL, 1767225599000LL}) {
    const Date now{std::chrono::milliseconds(epochMillis)};
    const foundation::ScopedClock clock([now] { return now; });
    const DateComponents today = Common::getSystemDate();
    EXPECT_EQ(today, calendar_.dateComponents(now)) << epochMillis;
    const DateComponents day = Common::removeTimeDateComponents(today);
    EXPECT_EQ(day, (DateComponents{.year = today.year, .month = today.month, .day = today.day}));
    const std::optional<Date> midnight = Common::DateComponents_to_Date(day);
    ASSERT_TRUE(midnight) << epochMillis;
    EXPECT_EQ(calendar_.dateComponents(*midnight), (DateComponents{.year = today.year,
                                                                   .month = today.month,
                                                                   .day = today.day,
                                                                   .hour = 0,
                                                                   .minute = 0,
                                                                   .second = 0,
                                                                   .nanosecond = 0}));
    EXPECT_LE(*midnight, now);
    EXPECT_NE(calendar_.dateComponents(*midnight - std::chrono::seconds(1)).day, today.day);
  }
}

TEST_P(VelkUpdateReminderCommonDates, TextsAndDates) {
  const DateComponents components{
      .year = 2026, .month = 12, .day = 4, .hour = 9, .minute = 5, .second = 7, .nanosecond = 0};
  EXPECT_EQ(Common::DateComponents_to_String(components, "yyyy-MM-dd"), "2026-12-04");
  EXPECT_EQ(Common::DateComponents_to_String(components, "yyyy-MM-dd HH:mm:ss"),
            "2026-12-04 09:05:07");
  EXPECT_EQ(Common::DateComponents_to_String(components, "yyyy/MM/dd"), "");

  // Certificates that never expire carry 9999-12-31; years far from 1970 fit.
  for (const std::string text : {"2025-03-31", "9999-12-31", "1950-01-01"}) {
    const std::optional<Date> date = Common::String_to_Date(text);
    ASSERT_TRUE(date) << text;
    const DateComponents read = calendar_.dateComponents(*date);
    EXPECT_EQ(read.hour, 0) << text;
    EXPECT_EQ(Common::DateComponents_to_String(read, "yyyy-MM-dd"), text);
  }
  for (const std::string bad : {"", "31/03/2025", "2025-02-30", "2025-03-09 12:00"}) {
    EXPECT_FALSE(Common::String_to_Date(bad)) << bad;
    EXPECT_THAT(log_.newLines(), Contains(velktest::errorLine(
                                     "VelkUpdateReminderCommon", "String_to_Date(cng_date:)",
                                     " *** change Date format Error -> " + bad + "*** ")));
  }
  for (const DateComponents& noDate : {DateComponents{.year = 2025, .month = 13, .day = 1},
                                       DateComponents{.year = 2025, .month = 2}}) {
    EXPECT_FALSE(Common::DateComponents_to_Date(noDate));
    EXPECT_THAT(log_.newLines(), Contains(velktest::errorLine("VelkUpdateReminderCommon",
                                                              "DateComponents_to_Date(cng_date:)",
                                                              " *** convert Error *** ")));
  }
}

INSTANTIATE_TEST_SUITE_P(TimeZones, VelkUpdateReminderCommonDates,
                         testing::Values("UTC", "Asia/Tokyo", "America/New_York",
                                         "Australia/Lord_Howe"));

}  // namespace
