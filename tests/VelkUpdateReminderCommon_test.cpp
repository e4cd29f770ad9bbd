#include "VelkUpdateReminder/VelkUpdateReminderCommon.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "foundation/Calendar.h"
#include "foundation/Clock.h"
#include "support/LogLines.h"
#include "support/ScopedEnv.h"
#include "support/TempHome.h"

namespace {

using foundation::Calendar;
using foundation::Date;
using foundation::DateComponents;
using velktest::LogLine;
using Lines = std::vector<LogLine>;
using Common = VelkUpdateReminderCommon;

LogLine debug(const std::string& operation, const std::string& message) {
  return velktest::debugLine("VelkUpdateReminderCommon", operation, message);
}

LogLine error(const std::string& operation, const std::string& message) {
  return velktest::errorLine("VelkUpdateReminderCommon", operation, message);
}

// The expected lines of the date operations, texts as the framework writes them.
const std::string kSystemDate = "getSystemDate()";
const std::string kRemoveTime = "removeTimeDateComponents(cng_date:)";
const std::string kToDate = "DateComponents_to_Date(cng_date:)";
const std::string kToString = "DateComponents_to_String(cng_date:date_format:)";
const std::string kStringToDate = "String_to_Date(cng_date:)";

Lines systemDateLines() {
  return {debug(kSystemDate, " *** getSystemDate() -> Date  START *** "),
          debug(kSystemDate, " *** getSystemDate() -> Date  END *** ")};
}

Lines removeTimeLines() {
  return {debug(kRemoveTime,
                " *** removeTimeDateComponents(cng_date: DateComponents) -> DateComponents START "
                "*** "),
          debug(kRemoveTime,
                " *** removeTimeDateComponents(cng_date: DateComponents) -> DateComponents END "
                "*** ")};
}

Lines toDateLines(bool fails = false) {
  Lines lines{
      debug(kToDate, " *** DateComponents_to_Date(cng_date:DateComponents) -> Date?  START *** ")};
  if (fails) {
    lines.push_back(error(kToDate, " *** convert Error *** "));
  }
  lines.push_back(
      debug(kToDate, " *** DateComponents_to_Date(cng_date:DateComponents) -> Date?  END *** "));
  return lines;
}

Lines concat(std::initializer_list<Lines> parts) {
  Lines all;
  for (const Lines& part : parts) {
    all.insert(all.end(), part.begin(), part.end());
  }
  return all;
}

Lines toStringLines() {
  return concat(
      {{debug(kToString,
              " *** DateComponents_to_String(cng_date:DateComponents,date_format:String) -> "
              "String  START *** ")},
       toDateLines(),
       {debug(kToString,
              " *** DateComponents_to_String(cng_date:DateComponents,date_format:String) -> "
              "String  END *** ")}});
}

// With `rejected`, the lines of a text that is not a date.
Lines stringToDateLines(const std::optional<std::string>& rejected = std::nullopt) {
  Lines lines{debug(kStringToDate, " *** String_to_Date(cng_date:String) -> Date?  START *** ")};
  if (rejected) {
    lines.push_back(error(kStringToDate, " *** change Date format Error -> " + *rejected + "*** "));
  }
  lines.push_back(debug(kStringToDate, " *** String_to_Date(cng_date:String) -> Date?  END *** "));
  return lines;
}

TEST(VelkUpdateReminderCommonPaths, HistoryAndLockFileLieInTheApplicationDirectory) {
  const velktest::TempHome home;
  velktest::LogLines log(home.logFile());
  const std::string history = Common::getCertificateHistoryFilePath();
  EXPECT_EQ(history, home.historyFile());
  const std::string operation = "getCertificateHistoryFilePath()";
  EXPECT_EQ(log.newLines(),
            (Lines{debug(operation, " *** getCeritificateHistoryFilePath() -> String  START *** "),
                   debug(operation, " *** return " + history + " *** "),
                   debug(operation, " *** getCeritificateHistoryFilePath() -> String  END *** ")}));

  EXPECT_EQ(Common::getCeritificateHistoryLockFilePath(), home.lockFile());
  EXPECT_EQ(Common::getCertificateHistoryFilePath(), history);
  EXPECT_EQ(log.newLines().size(), 3U);  // the second history call; none for the lock file
  EXPECT_FALSE(std::filesystem::exists(home.appDir()));
}

// Run first in a fresh process, the threads race to the class logger's
// first fetch; each call must still log its three whole lines.
TEST(VelkUpdateReminderCommonPaths, LoggerFetchedOnceUnderRacingThreads) {
  const velktest::TempHome home;
  constexpr int kThreads = 8;
  std::vector<std::string> paths(kThreads);
  {
    std::vector<std::jthread> threads;
    for (int i = 0; i < kThreads; ++i) {
      threads.emplace_back([&paths, i] { paths[i] = Common::getCertificateHistoryFilePath(); });
    }
  }
  for (const std::string& path : paths) {
    EXPECT_EQ(path, home.historyFile());
  }
  velktest::LogLines log(home.logFile());
  EXPECT_EQ(log.newLines().size(), 3U * kThreads);
}

class VelkUpdateReminderCommonDates : public ::testing::TestWithParam<const char*> {
 protected:
  velktest::ScopedEnv tz_{"TZ", GetParam()};
  velktest::TempHome home_;
  velktest::LogLines log_{home_.logFile()};
  Calendar calendar_ = Calendar::current();

  // `today`, just taken from getSystemDate() with the clock at or before
  // `now`, turned into that day's midnight.
  void expectMidnightOf(const DateComponents& today, Date now) {
    const DateComponents day = Common::removeTimeDateComponents(today);
    EXPECT_EQ(day, (DateComponents{.year = today.year, .month = today.month, .day = today.day}));
    EXPECT_EQ(Common::removeTimeDateComponents(day), day);
    const std::optional<Date> midnight = Common::DateComponents_to_Date(day);
    ASSERT_TRUE(midnight);
    EXPECT_EQ(calendar_.dateComponents(*midnight), (DateComponents{.year = today.year,
                                                                   .month = today.month,
                                                                   .day = today.day,
                                                                   .hour = 0,
                                                                   .minute = 0,
                                                                   .second = 0,
                                                                   .nanosecond = 0}));
    EXPECT_LE(*midnight, now);
    EXPECT_NE(calendar_.dateComponents(*midnight - std::chrono::seconds(1)).day, today.day);
    EXPECT_EQ(log_.newLines(),
              concat({systemDateLines(), removeTimeLines(), removeTimeLines(), toDateLines()}));
  }
};

TEST_P(VelkUpdateReminderCommonDates, TodayAtMidnightWithAFrozenClock) {
  // Late in the day, a leap day's last millisecond, the last second of a
  // year, and instants on days on which the clocks of New York or Lord Howe
  // change.
  for (const std::int64_t epochMillis :
       {1741501800000LL, 1709251199999LL, 1759622400000LL, 1743863400000LL, 1767225599000LL}) {
    SCOPED_TRACE(epochMillis);
    const Date now{std::chrono::milliseconds(epochMillis)};
    const foundation::ScopedClock clock([now] { return now; });
    const DateComponents today = Common::getSystemDate();
    EXPECT_EQ(today, calendar_.dateComponents(now));
    expectMidnightOf(today, now);
  }
}

TEST_P(VelkUpdateReminderCommonDates, TodayAtMidnightWithTheRealClock) {
  const auto dayOf = [this](Date date) {
    const DateComponents all = calendar_.dateComponents(date);
    return DateComponents{.year = all.year, .month = all.month, .day = all.day};
  };
  const Date before =
      std::chrono::time_point_cast<Date::duration>(std::chrono::system_clock::now());
  const DateComponents today = Common::getSystemDate();
  const Date after = std::chrono::time_point_cast<Date::duration>(std::chrono::system_clock::now());
  const DateComponents day{.year = today.year, .month = today.month, .day = today.day};
  EXPECT_TRUE(day == dayOf(before) || day == dayOf(after));
  expectMidnightOf(today, after);
}

TEST_P(VelkUpdateReminderCommonDates, ComponentsToTextInBothForms) {
  const DateComponents components{
      .year = 2026, .month = 12, .day = 4, .hour = 9, .minute = 5, .second = 7, .nanosecond = 0};
  EXPECT_EQ(Common::DateComponents_to_String(components, "yyyy-MM-dd"), "2026-12-04");
  EXPECT_EQ(Common::DateComponents_to_String(components, "yyyy-MM-dd HH:mm:ss"),
            "2026-12-04 09:05:07");
  EXPECT_EQ(Common::DateComponents_to_String(components, "yyyy/MM/dd"), "");
  EXPECT_EQ(log_.newLines(), concat({toStringLines(), toStringLines(), toStringLines()}));
}

TEST_P(VelkUpdateReminderCommonDates, TextToMidnightOfThatDay) {
  const std::optional<Date> date = Common::String_to_Date("2025-03-31");
  ASSERT_TRUE(date);
  EXPECT_EQ(calendar_.dateComponents(*date), (DateComponents{.year = 2025,
                                                             .month = 3,
                                                             .day = 31,
                                                             .hour = 0,
                                                             .minute = 0,
                                                             .second = 0,
                                                             .nanosecond = 0}));
  EXPECT_EQ(log_.newLines(), stringToDateLines());

  // Certificates that never expire carry 9999-12-31; years far from 1970 fit.
  for (const std::string far : {"9999-12-31", "1950-01-01"}) {
    const std::optional<Date> farDate = Common::String_to_Date(far);
    ASSERT_TRUE(farDate) << far;
    EXPECT_EQ(Common::DateComponents_to_String(calendar_.dateComponents(*farDate), "yyyy-MM-dd"),
              far);
    log_.skip();
  }

  for (const std::string bad : {"", "31/03/2025", "2025-02-30", "2025-03-09 12:00"}) {
    EXPECT_FALSE(Common::String_to_Date(bad)) << bad;
    EXPECT_EQ(log_.newLines(), stringToDateLines(bad)) << bad;
  }
}

TEST_P(VelkUpdateReminderCommonDates, ComponentsThatNameNoDate) {
  EXPECT_FALSE(Common::DateComponents_to_Date({.year = 2025, .month = 13, .day = 1}));
  EXPECT_FALSE(Common::DateComponents_to_Date({.year = 2025, .month = 2}));
  EXPECT_EQ(log_.newLines(), concat({toDateLines(true), toDateLines(true)}));
}

INSTANTIATE_TEST_SUITE_P(TimeZones, VelkUpdateReminderCommonDates,
                         ::testing::Values("UTC", "Asia/Tokyo", "America/New_York",
                                           "Australia/Lord_Howe"));

}  // namespace
