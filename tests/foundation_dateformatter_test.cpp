#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "foundation/Calendar.h"
#include "foundation/DateFormatter.h"
#include "support/ScopedEnv.h"

namespace {

using foundation::Calendar;
using foundation::DateComponents;
using foundation::DateFormatter;

class DateFormatterInZone : public testing::TestWithParam<const char*> {
 protected:
  velktest::ScopedEnv tz_{"TZ", GetParam()};
  Calendar calendar_ = Calendar::current();
};

TEST_P(DateFormatterInZone, ReadsAndWritesWholeTextsOfTheTwoPatterns) {
  struct Row {
    std::string pattern;
    std::string text;
    std::optional<DateComponents> read;  // nothing when the text is refused
    std::string written;                 // the text of `read` written anew
  };
  const std::string day = "yyyy-MM-dd";
  const std::string dateTime = "yyyy-MM-dd HH:mm:ss";
  const auto on = [](int year, int month, int dayOfMonth, int hour = 0, int minute = 0,
                     int second = 0) {
    return DateComponents{.year = year,
                          .month = month,
                          .day = dayOfMonth,
                          .hour = hour,
                          .minute = minute,
                          .second = second};
  };
  const std::vector<Row> rows = {
      {day, "2025-03-31", on(2025, 3, 31), "2025-03-31"},
      {day, "2025-3-9", on(2025, 3, 9), "2025-03-09"},
      {day, "2024-02-29", on(2024, 2, 29), "2024-02-29"},
      {day, "9999-12-31", on(9999, 12, 31), "9999-12-31"},
      {dateTime, "2025-10-05 23:59:59", on(2025, 10, 5, 23, 59, 59), "2025-10-05 23:59:59"},
      {dateTime, "2025-3-9 4:05:00", on(2025, 3, 9, 4, 5, 0), "2025-03-09 04:05:00"},
      {"yyyy/MM/dd", "2025/03/31", std::nullopt, ""},
  };
  for (const Row& row : rows) {
    DateFormatter formatter;
    formatter.setDateFormat(row.pattern);
    formatter.setLocale(foundation::Locale("ja-JP"));
    const auto read = formatter.date(row.text);
    EXPECT_EQ(read, row.read ? calendar_.date(*row.read) : std::nullopt) << row.text;
    if (read) {
      EXPECT_EQ(formatter.string(*read), row.written) << row.text;
    }
  }
  DateFormatter formatter;
  formatter.setDateFormat(day);
  for (const char* bad : {"", "31/03/2025", "2025-02-30", "2025-03-09 12:00", "2025-13-01",
                          "12025-01-01", "2025-003-01", "2025-03-31x", " 2025-03-31", "2025-03-3a",
                          "2025--3-31", "+2025-03-31", "0000-01-01", "2025-03"}) {
    EXPECT_FALSE(formatter.date(bad)) << bad;
  }
  formatter.setDateFormat(dateTime);
  for (const char* bad : {"2025-03-09 24:00:00", "2025-03-09 12:60:00", "2025-03-09T12:00:00",
                          "2025-03-09  12:00:00", "2025-03-09"}) {
    EXPECT_FALSE(formatter.date(bad)) << bad;
  }
}

INSTANTIATE_TEST_SUITE_P(TimeZones, DateFormatterInZone,
                         testing::Values("UTC", "Asia/Tokyo", "America/New_York",
                                         "Australia/Lord_Howe"));

}  // namespace
