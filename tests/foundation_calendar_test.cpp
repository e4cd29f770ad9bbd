#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <optional>

#include "foundation/Calendar.h"
#include "support/Records.h"
#include "support/ScopedEnv.h"

namespace {

using foundation::Calendar;
using foundation::Date;
using foundation::DateComponents;
using std::chrono::seconds;
using velktest::moment;

class CalendarInZone : public ::testing::TestWithParam<const char*> {
 protected:
  velktest::ScopedEnv tz_{"TZ", GetParam()};
  Calendar calendar_ = Calendar::current();
};

// Every midnight of three years, DST change days included, is the first
// instant of its day and reads back as that day at 00:00:00.
TEST_P(CalendarInZone, EveryDayStartsAtMidnight) {
  for (int year = 2024; year <= 2026; ++year) {
    for (int month = 1; month <= 12; ++month) {
      for (int day = 1; day <= 31; ++day) {
        const std::optional<Date> start = calendar_.date(moment(year, month, day));
        if (!start) {
          continue;
        }
        EXPECT_EQ(calendar_.dateComponents(*start), moment(year, month, day, 0, 0, 0))
            << year << "-" << month << "-" << day;
        EXPECT_NE(calendar_.dateComponents(*start - seconds(1)).day, day);
      }
    }
  }
}

TEST_P(CalendarInZone, RejectsFieldsOutOfRangeAndDatesBeyondItsRange) {
  EXPECT_TRUE(calendar_.date(moment(2024, 2, 29)));
  EXPECT_FALSE(calendar_.date(moment(2025, 2, 29)));
  EXPECT_FALSE(calendar_.date(moment(2025, 13, 1)));
  EXPECT_FALSE(calendar_.date(moment(2025, 4, 31)));
  EXPECT_FALSE(calendar_.date(moment(2025, 3, 9, 24, 0, 0)));
  EXPECT_FALSE(calendar_.date(moment(2025, 3, 9, 23, 60, 0)));
  EXPECT_FALSE(calendar_.date(DateComponents{.year = 2025, .month = 3}));
  // Beyond what a Date holds (about 292,000 years either way) there is no
  // date, never a wrapped one, at both ends and for month arithmetic too.
  EXPECT_FALSE(calendar_.date(moment(500000, 1, 1)));
  EXPECT_FALSE(calendar_.date(moment(-500000, 1, 1)));
  EXPECT_TRUE(calendar_.date(moment(290000, 1, 1)));
  EXPECT_TRUE(calendar_.date(moment(-290000, 1, 1)));
  const Date day = *calendar_.date(moment(2025, 6, 30));
  EXPECT_FALSE(calendar_.dateByAddingMonths(-3600000, day));
  EXPECT_FALSE(calendar_.dateByAddingMonths(3600000, day));
  EXPECT_FALSE(calendar_.dateByAddingMonths(INT32_MIN, day));
  EXPECT_FALSE(calendar_.dateByAddingMonths(INT32_MAX, day));
}

TEST_P(CalendarInZone, AddingMonthsClampsToTheMonthsEnd) {
  const auto minusThreeMonths = [&](const DateComponents& from) {
    const std::optional<Date> result = calendar_.dateByAddingMonths(-3, *calendar_.date(from));
    return result ? calendar_.dateComponents(*result) : DateComponents{};
  };
  EXPECT_EQ(minusThreeMonths(moment(2025, 5, 31, 0, 0, 0)), moment(2025, 2, 28, 0, 0, 0));
  EXPECT_EQ(minusThreeMonths(moment(2024, 5, 31, 13, 45, 10)), moment(2024, 2, 29, 13, 45, 10));
  EXPECT_EQ(minusThreeMonths(moment(2025, 1, 15, 0, 0, 0)), moment(2024, 10, 15, 0, 0, 0));
  const std::optional<Date> forward =
      calendar_.dateByAddingMonths(3, *calendar_.date(moment(2025, 11, 30)));
  ASSERT_TRUE(forward);
  EXPECT_EQ(calendar_.dateComponents(*forward), moment(2026, 2, 28, 0, 0, 0));
}

INSTANTIATE_TEST_SUITE_P(TimeZones, CalendarInZone,
                         ::testing::Values("UTC", "Asia/Tokyo", "America/New_York",
                                           "Australia/Lord_Howe"));

// Clocks that skip or repeat midnight by half an hour: a skipped midnight
// gives the first instant of the day, a repeated one its first occurrence.
TEST(CalendarDaylightSaving, MidnightInAGapOrTwiceStillStartsTheDay) {
  const Calendar calendar = Calendar::current();
  const velktest::ScopedEnv tz("TZ", "XST-10:30XDT-11,M10.1.0/0,M4.1.0/0:30");
  const std::optional<Date> skipped = calendar.date(moment(2025, 10, 5));
  ASSERT_TRUE(skipped);
  EXPECT_EQ(calendar.dateComponents(*skipped), moment(2025, 10, 5, 0, 30, 0));
  EXPECT_EQ(calendar.dateComponents(*skipped - seconds(1)), moment(2025, 10, 4, 23, 59, 59));
  const std::optional<Date> inGap = calendar.date(moment(2025, 10, 5, 0, 10, 0));
  ASSERT_TRUE(inGap);
  EXPECT_EQ(*inGap - *skipped, std::chrono::minutes(10));

  const std::optional<Date> twice = calendar.date(moment(2025, 4, 6));
  ASSERT_TRUE(twice);
  EXPECT_EQ(calendar.dateComponents(*twice), moment(2025, 4, 6, 0, 0, 0));
  EXPECT_EQ(calendar.dateComponents(*twice - seconds(1)), moment(2025, 4, 5, 23, 59, 59));
}

}  // namespace
