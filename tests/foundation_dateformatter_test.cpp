#include <gtest/gtest.h>

#include "foundation/Calendar.h"
#include "foundation/DateFormatter.h"
#include "support/ScopedEnv.h"

namespace {

using foundation::Calendar;
using foundation::DateComponents;
using foundation::DateFormatter;

DateFormatter formatter(const char* pattern) {
  DateFormatter result;
  result.setDateFormat(pattern);
  result.setLocale(foundation::Locale("ja-JP"));
  return result;
}

class DateFormatterInZone : public ::testing::TestWithParam<const char*> {
 protected:
  velktest::ScopedEnv tz_{"TZ", GetParam()};
  Calendar calendar_ = Calendar::current();
};

TEST_P(DateFormatterInZone, ParsesWholeTextsOfTheTwoPatterns) {
  const DateFormatter day = formatter("yyyy-MM-dd");
  EXPECT_EQ(day.date("2025-03-31"), calendar_.date({.year = 2025, .month = 3, .day = 31}));
  EXPECT_EQ(day.date("2025-3-9"), calendar_.date({.year = 2025, .month = 3, .day = 9}));
  EXPECT_EQ(day.date("2024-02-29"), calendar_.date({.year = 2024, .month = 2, .day = 29}));
  const DateFormatter dateTime = formatter("yyyy-MM-dd HH:mm:ss");
  EXPECT_EQ(dateTime.date("2025-10-05 23:59:59"),
            calendar_.date(
                {.year = 2025, .month = 10, .day = 5, .hour = 23, .minute = 59, .second = 59}));
  for (const char* bad : {"", "31/03/2025", "2025-02-30", "2025-03-09 12:00", "2025-13-01",
                          "12025-01-01", "2025-003-01", "2025-03-31x", " 2025-03-31", "2025-03-3a",
                          "2025--3-31", "+2025-03-31", "0000-01-01", "2025-03"}) {
    EXPECT_FALSE(day.date(bad)) << bad;
  }
  for (const char* bad : {"2025-03-09 24:00:00", "2025-03-09 12:60:00", "2025-03-09T12:00:00",
                          "2025-03-09  12:00:00", "2025-03-09"}) {
    EXPECT_FALSE(dateTime.date(bad)) << bad;
  }
  EXPECT_FALSE(formatter("yyyy/MM/dd").date("2025/03/31"));
}

INSTANTIATE_TEST_SUITE_P(TimeZones, DateFormatterInZone,
                         ::testing::Values("UTC", "Asia/Tokyo", "America/New_York",
                                           "Australia/Lord_Howe"));

}  // namespace
