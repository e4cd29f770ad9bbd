#include "VelkUpdateReminder/VelkUpdateReminderCommon.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <string>

#include "foundation/Calendar.h"
#include "foundation/Clock.h"
#include "support/LogLines.h"
#include "support/ScopedEnv.h"
#include "support/TempHome.h"

namespace {

using foundation::Date;
using foundation::DateComponents;
using testing::Contains;
using Common = VelkUpdateReminderCommon;

class VelkUpdateReminderCommonDates : public testing::TestWithParam<const char*> {
 protected:
  velktest::ScopedEnv tz_{"TZ", GetParam()};
  velktest::TempHome home_;
  velktest::LogLines log_{home_.logFile()};
};

constexpr const char* kDayAndTime = "yyyy-MM-dd HH:mm:ss";

TEST_P(VelkUpdateReminderCommonDates, TodayItsMidnightAndTexts) {
  const foundation::Calendar calendar = foundation::Calendar::current();
  // A leap day's last millisecond, and a day on which the clocks of New York
  // change: today's midnight is the first moment of the same day.
  for (const std::int64_t epochMillis : {1709251199999LL, 1741501800000LL}) {
    const Date now{std::chrono::milliseconds(epochMillis)};
    const foundation::ScopedClock clock([now] { return now; });
    const DateComponents today = Common::removeTimeDateComponents(Common::getSystemDate());
    const std::optional<Date> midnight = Common::DateComponents_to_Date(today);
    ASSERT_TRUE(midnight) << epochMillis;
    EXPECT_LE(*midnight, now);
    EXPECT_EQ(
        Common::DateComponents_to_String(calendar.dateComponents(*midnight), kDayAndTime),
        Common::DateComponents_to_String(Common::getSystemDate(), "yyyy-MM-dd") + " 00:00:00");
    EXPECT_NE(calendar.dateComponents(*midnight - std::chrono::seconds(1)).day, today.day);
  }
  // Certificates that never expire carry 9999-12-31; years far from 1970 fit.
  for (const std::string text : {"2025-03-31", "9999-12-31", "1950-01-01"}) {
    const std::optional<Date> date = Common::String_to_Date(text);
    ASSERT_TRUE(date) << text;
    EXPECT_EQ(Common::DateComponents_to_String(calendar.dateComponents(*date), kDayAndTime),
              text + " 00:00:00");
  }
  for (const std::string bad : {"", "31/03/2025", "2025-02-30", "2025-03-09 12:00"}) {
    EXPECT_FALSE(Common::String_to_Date(bad)) << bad;
    EXPECT_THAT(log_.newLines(), Contains(velktest::errorLine(
                                     "VelkUpdateReminderCommon", "String_to_Date(cng_date:)",
                                     " *** change Date format Error -> " + bad + "*** ")));
  }
  EXPECT_FALSE(Common::DateComponents_to_Date(DateComponents{.year = 2025, .month = 13, .day = 1}));
  EXPECT_THAT(log_.newLines(), Contains(velktest::errorLine("VelkUpdateReminderCommon",
                                                            "DateComponents_to_Date(cng_date:)",
                                                            " *** convert Error *** ")));
}

INSTANTIATE_TEST_SUITE_P(TimeZones, VelkUpdateReminderCommonDates,
                         testing::Values("UTC", "Asia/Tokyo", "America/New_York",
                                         "Australia/Lord_Howe"));

}  // namespace
