// The Foundation stand-in: the calendar in several time zones, the date
// formatter's two patterns, and the preferred language.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "foundation/Calendar.h"
#include "foundation/DateFormatter.h"
#include "support/Records.h"
#include "support/ScopedEnv.h"

namespace {

using foundation::Calendar;
using foundation::Date;
using foundation::DateComponents;
using std::chrono::seconds;
using velktest::moment;

class InZone : public testing::TestWithParam<const char*> {
 protected:
  velktest::ScopedEnv tz_{"TZ", GetParam()};
  Calendar calendar_ = Calendar::current();
};

// Every day of three years, the days of daylight-saving changes included,
// starts at its midnight and reads back as that day at 00:00:00.
TEST_P(InZone, EveryDayStartsAtMidnight) {
  for (int month = 0; month < 36; ++month) {
    for (int day = 1; day <= 31; ++day) {
      const DateComponents date = moment(2024 + month / 12, 1 + month % 12, day);
      if (const std::optional<Date> start = calendar_.date(date)) {
        EXPECT_EQ(calendar_.dateComponents(*start), date);
        EXPECT_NE(calendar_.dateComponents(*start - seconds(1)).day, date.day);
      }
    }
  }
}

TEST_P(InZone, FieldsOutOfRangeAndDatesBeyondItsRangeGiveNoDate) {
  EXPECT_TRUE(calendar_.date(moment(2024, 2, 29)));
  for (const DateComponents& bad :
       {moment(2025, 2, 29), moment(2025, 13, 1), moment(2025, 4, 31), moment(2025, 3, 9, 24),
        moment(2025, 3, 9, 23, 60), DateComponents{.year = 2025, .month = 3},
        // Beyond what a Date holds (about 292,000 years either way).
        moment(500000, 1, 1), moment(-500000, 1, 1)}) {
    EXPECT_FALSE(calendar_.date(bad)) << *bad.year << "-" << *bad.month;
  }
  EXPECT_TRUE(calendar_.date(moment(290000, 1, 1)));
  EXPECT_TRUE(calendar_.date(moment(-290000, 1, 1)));
  const Date day = *calendar_.date(moment(2025, 6, 30));
  for (const int months : {-3600000, 3600000, INT32_MIN, INT32_MAX}) {
    EXPECT_FALSE(calendar_.dateByAddingMonths(months, day)) << months;
  }
}

TEST_P(InZone, AddingMonthsClampsToTheMonthsEnd) {
  const auto plus = [&](int months, const DateComponents& from) {
    const std::optional<Date> result = calendar_.dateByAddingMonths(months, *calendar_.date(from));
    return result ? calendar_.dateComponents(*result) : DateComponents{};
  };
  EXPECT_EQ(plus(-3, moment(2025, 5, 31, 0, 0, 0)), moment(2025, 2, 28, 0, 0, 0));
  EXPECT_EQ(plus(-3, moment(2024, 5, 31, 13, 45, 10)), moment(2024, 2, 29, 13, 45, 10));
  EXPECT_EQ(plus(-3, moment(2025, 1, 15, 0, 0, 0)), moment(2024, 10, 15, 0, 0, 0));
  EXPECT_EQ(plus(3, moment(2025, 11, 30, 0, 0, 0)), moment(2026, 2, 28, 0, 0, 0));
}

TEST_P(InZone, TheFormatterReadsAndWritesWholeTextsOfTheTwoPatterns) {
  struct Row {
    std::string pattern;
    std::string text;
    std::optional<DateComponents> read;  // nothing when the text is refused
    std::string written;                 // the text of `read` written anew
  };
  const std::string day = "yyyy-MM-dd";
  const std::string dateTime = "yyyy-MM-dd HH:mm:ss";
  std::vector<Row> rows = {
      {day, "2025-03-31", moment(2025, 3, 31, 0, 0, 0), "2025-03-31"},
      {day, "2025-3-9", moment(2025, 3, 9, 0, 0, 0), "2025-03-09"},
      {day, "9999-12-31", moment(9999, 12, 31, 0, 0, 0), "9999-12-31"},
      {dateTime, "2025-10-05 23:59:59", moment(2025, 10, 5, 23, 59, 59), "2025-10-05 23:59:59"},
      {dateTime, "2025-3-9 4:05:00", moment(2025, 3, 9, 4, 5, 0), "2025-03-09 04:05:00"},
      {"yyyy/MM/dd", "2025/03/31", std::nullopt, ""},
  };
  for (const char* bad : {"", "31/03/2025", "2025-02-30", "2025-03-09 12:00", "2025-13-01",
                          "12025-01-01", "2025-003-01", "2025-03-31x", " 2025-03-31", "2025-3a-31",
                          "+2025-03-31", "0000-01-01", "2025-03"}) {
    rows.push_back({day, bad, std::nullopt, ""});
  }
  for (const char* bad : {"2025-03-09 24:00:00", "2025-03-09 12:60:00", "2025-03-09T12:00:00",
                          "2025-03-09  12:00:00", "2025-03-09"}) {
    rows.push_back({dateTime, bad, std::nullopt, ""});
  }
  for (const Row& row : rows) {
    foundation::DateFormatter formatter;
    formatter.setDateFormat(row.pattern);
    formatter.setLocale(foundation::Locale("ja-JP"));
    const auto read = formatter.date(row.text);
    EXPECT_EQ(read, row.read ? calendar_.date(*row.read) : std::nullopt) << row.text;
    if (read) {
      EXPECT_EQ(formatter.string(*read), row.written) << row.text;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(TimeZones, InZone,
                         testing::Values("UTC", "Asia/Tokyo", "America/New_York",
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
  EXPECT_EQ(*calendar.date(moment(2025, 10, 5, 0, 10, 0)) - *skipped, std::chrono::minutes(10));
  const std::optional<Date> twice = calendar.date(moment(2025, 4, 6));
  ASSERT_TRUE(twice);
  EXPECT_EQ(calendar.dateComponents(*twice - seconds(1)), moment(2025, 4, 5, 23, 59, 59));
}

// The first variable set names the language; none, C or POSIX give English.
TEST(Locale, PreferredLanguageComesFromTheFirstVariableSet) {
  const auto none = std::nullopt;
  using Values = std::vector<std::optional<std::string>>;
  const std::vector<std::pair<Values, std::string>> cases = {
      {{"ja_JP:en_US", "de_DE.UTF-8", none, "fr_FR"}, "ja-JP"},
      {{none, "ja_JP.UTF-8", "de_DE", "fr_FR"}, "ja-JP"},
      {{"", "", "de_DE@euro", "fr_FR"}, "de-DE"},
      {{none, none, none, "ja"}, "ja"},
      {{none, none, none, none}, "en-US"},
      {{none, "C", none, "ja_JP.UTF-8"}, "en-US"},
      {{none, none, "POSIX", none}, "en-US"},
      {{none, none, none, "/etc/bad"}, "en-US"},
  };
  for (const auto& [values, language] : cases) {
    const velktest::ScopedEnv e1("LANGUAGE", values[0]);
    const velktest::ScopedEnv e2("LC_ALL", values[1]);
    const velktest::ScopedEnv e3("LC_MESSAGES", values[2]);
    const velktest::ScopedEnv e4("LANG", values[3]);
    EXPECT_EQ(foundation::Locale::preferredLanguages(), std::vector<std::string>{language});
  }
}

}  // namespace
