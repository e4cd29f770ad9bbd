#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "VelkCertificateHistoryTestRecords.h"
#include "VelkUpdateReminder/VelkCertificateHistoryFileController.h"
#include "support/LogLines.h"
#include "support/ScopedEnv.h"
#include "support/TempHome.h"

namespace {

using velktest::debugLine;
using velktest::LogLine;
using Controller = VelkCertificateHistoryFileController;
using InfoPtr = Controller::InfoPtr;
using InfoList = Controller::InfoList;
using SORT_TYPE = Controller::SORT_TYPE;
using velktest::historyRecord;

constexpr const char* kController = "VelkCertificateHistoryFileController";

foundation::DateComponents moment(int year, int month, int day, int hour = 0, int minute = 0,
                                  int second = 0) {
  foundation::DateComponents components;
  components.year = year;
  components.month = month;
  components.day = day;
  components.hour = hour;
  components.minute = minute;
  components.second = second;
  components.nanosecond = 0;
  return components;
}

class VelkCertificateHistoryListTest : public ::testing::Test {
 protected:
  void fill(const InfoList& records) {
    for (const InfoPtr& info : records) {
      controller.addCirtificateFile(info);
    }
  }
  InfoList list() { return controller.getCertificateHistoryInfoList(); }

  velktest::TempHome home;
  velktest::LogLines log{home.logFile()};
  Controller controller;
};

TEST_F(VelkCertificateHistoryListTest, LookupOnAnEmptyListAndTailRemoval) {
  log.skip();
  EXPECT_EQ(controller.existSameCirtificateFile(historyRecord("A", "01", "2025-01-01")), nullptr);
  controller.removeTailData();
  const std::string find = "existSameCirtificateFile(compareInfo:)";
  const std::vector<LogLine> expected = {
      debugLine(kController, find,
                " *** existSameCirtificateFile(compareInfo:VelkCertificateHistoryInfo ) -> "
                "VelkCertificateHistoryInfo?  START *** "),
      debugLine(kController, find, " *** return nil *** "),
      debugLine(kController, find,
                " ***  existSameCirtificateFile(compareInfo:VelkCertificateHistoryInfo ) -> "
                "VelkCertificateHistoryInfo? END  *** "),
      debugLine(kController, "removeTailData()", " *** void removeTailData()  START *** "),
      debugLine(kController, "removeTailData()", " *** size = 0 *** "),
      debugLine(kController, "removeTailData()", " *** removeTailData()  END *** "),
  };
  EXPECT_EQ(log.newLines(), expected);
  EXPECT_TRUE(list().empty());

  InfoList eleven;
  for (int n = 0; n < 11; ++n) {
    eleven.push_back(historyRecord("A", std::to_string(n), "2025-01-01"));
  }
  fill(eleven);
  controller.removeTailData();
  EXPECT_EQ(list(), InfoList(eleven.begin(), eleven.begin() + 10));
}

TEST_F(VelkCertificateHistoryListTest, LookupUpdateAndAppendShareTheRecords) {
  const InfoPtr first = historyRecord("A", "0A", "2025-01-01", "2024-01-01 10:00:00");
  const InfoPtr other = historyRecord("S", "0A", "2025-02-02");
  const InfoPtr second = historyRecord("A", "0A", "2025-03-03");
  fill({other, first, second});

  const InfoPtr fresh = historyRecord("A", "0A", "2026-6-1", "2025-5-6 7:08:09");
  log.skip();
  const InfoPtr found = controller.existSameCirtificateFile(fresh);
  ASSERT_EQ(found, first) << "the first match, the list's own object";
  EXPECT_EQ(log.newLines().back(),
            debugLine(kController, "existSameCirtificateFile(compareInfo:)",
                      " *** VelkCertificateHistoryInfo existSameCirtificateFile("
                      "VelkCertificateHistoryInfo compareInfo)  END *** "));

  controller.updateCirtificateFile(found, fresh);
  EXPECT_EQ(list(), (InfoList{other, first, second}));
  EXPECT_EQ(first->notAfter, "2026-06-01");
  EXPECT_EQ(first->openTime, "2025-05-06 07:08:09");
  EXPECT_EQ(second->notAfter, "2025-03-03");
  EXPECT_EQ(other->notAfter, "2025-02-02");

  // Same serial, other class: another certificate.
  EXPECT_EQ(controller.existSameCirtificateFile(historyRecord("S", "0B", "")), nullptr);
  const InfoPtr added = historyRecord("S", "0B", "2027-01-01");
  controller.addCirtificateFile(added);
  EXPECT_EQ(list().back(), added);
  // Null records are ignored rather than followed.
  controller.addCirtificateFile(nullptr);
  controller.updateCirtificateFile(nullptr, added);
  EXPECT_EQ(list().size(), 4U);
  // Changing a record handed out changes the list entry.
  list().front()->serialNumber = "FF";
  EXPECT_EQ(other->serialNumber, "FF");
}

TEST_F(VelkCertificateHistoryListTest, RemoveSameDataDropsEveryMatchAndKeepsOrder) {
  const InfoPtr a1 = historyRecord("A", "01", "2025-01-01");
  const InfoPtr s1 = historyRecord("S", "01", "2025-01-01");
  const InfoPtr a2 = historyRecord("A", "02", "2025-01-01");
  const InfoPtr a1again = historyRecord("A", "01", "2026-01-01");
  const InfoPtr s3 = historyRecord("S", "03", "2025-01-01");
  fill({a1, s1, a2, a1again, s3});

  controller.removeSameData({});
  EXPECT_EQ(list(), (InfoList{a1, s1, a2, a1again, s3}));

  controller.removeSameData({historyRecord("A", "01", "1999-01-01"), historyRecord("S", "99", "")});
  EXPECT_EQ(list(), (InfoList{s1, a2, s3}));
  controller.removeSameData({s3, a2});
  EXPECT_EQ(list(), InfoList{s1});
}

TEST_F(VelkCertificateHistoryListTest, SortExamples) {
  const InfoPtr jan1 = historyRecord("A", "01", "2025-01-01", "2024-01-02 10:00:00");
  const InfoPtr mar = historyRecord("A", "02", "2025-01-01", "2024-03-01 09:00:00");
  const InfoPtr jan2 = historyRecord("A", "03", "2025-01-01", "2024-01-02 10:00:00");
  fill({jan1, mar, jan2});
  controller.sort(SORT_TYPE::SORT_OPEN_TIME);
  EXPECT_EQ(list(), (InfoList{mar, jan1, jan2}));

  controller.removeSameData({jan1, mar, jan2});
  const InfoPtr serial0A = historyRecord("A", "0A", "2026-05-31");
  const InfoPtr serial09 = historyRecord("S", "09", "2026-05-31");
  const InfoPtr earlier = historyRecord("A", "FF", "2025-12-31");
  fill({serial0A, serial09, earlier});
  log.skip();
  controller.sort(SORT_TYPE::SORT_NOT_AFTER);
  EXPECT_EQ(list(), (InfoList{earlier, serial09, serial0A}));
  const std::vector<LogLine> lines = log.newLines();
  ASSERT_GE(lines.size(), 2U);
  EXPECT_EQ(lines.front(), debugLine(kController, "sort(sorttype:)",
                                     " *** sort(sorttype: SORT_TYPE)  START *** "));
  // The comparator reads the records through their logged getters.
  EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [](const LogLine& line) {
    return line.operation == "getSerialNumber()";
  }));
}

// The orders stated for the two sorts, written independently of the
// controller: a stable sort under these must give the same sequence.
bool laterOpenTime(const InfoPtr& a, const InfoPtr& b) { return a->openTime > b->openTime; }
bool earlierNotAfter(const InfoPtr& a, const InfoPtr& b) {
  return std::tie(a->notAfter, a->serialNumber) < std::tie(b->notAfter, b->serialNumber);
}

TEST_F(VelkCertificateHistoryListTest, SortMatchesAStableSortOverRandomLists) {
  std::mt19937 random(20250309);
  // Few distinct keys, so that ties are common; "2025-01-0" is a proper
  // prefix of the others.
  const std::vector<std::string> days = {"2025-01-0", "2025-01-01", "2025-01-02", "2024-12-31"};
  const std::vector<std::string> serials = {"", "0", "09", "0A", "A", "a"};
  const std::vector<std::string> times = {"2025-01-01 00:00:00", "2025-01-01 00:00:01",
                                          "2024-12-31 23:59:59", "2025-01-01"};
  const auto pick = [&](const std::vector<std::string>& from) {
    return from[std::uniform_int_distribution<std::size_t>(0, from.size() - 1)(random)];
  };
  for (int round = 0; round < 300; ++round) {
    controller.removeSameData(list());
    InfoList records;
    const int size = std::uniform_int_distribution<int>(0, 16)(random);
    for (int n = 0; n < size; ++n) {
      // Unique classes keep removeSameData() from dropping look-alikes.
      records.push_back(historyRecord(std::to_string(round) + "-" + std::to_string(n),
                                      pick(serials), pick(days), pick(times)));
    }
    fill(records);
    InfoList expected = records;
    if (round % 2 == 0) {
      std::stable_sort(expected.begin(), expected.end(), laterOpenTime);
      controller.sort(SORT_TYPE::SORT_OPEN_TIME);
    } else {
      std::stable_sort(expected.begin(), expected.end(), earlierNotAfter);
      controller.sort(SORT_TYPE::SORT_NOT_AFTER);
    }
    ASSERT_EQ(list(), expected) << "round " << round;
  }
}

class VelkCertificateHistorySelectionTest : public VelkCertificateHistoryListTest,
                                            public ::testing::WithParamInterface<const char*> {
 protected:
  velktest::ScopedEnv tz{"TZ", GetParam()};
};

TEST_P(VelkCertificateHistorySelectionTest, WindowAroundTheReferenceDay) {
  const InfoPtr windowStartsToday = historyRecord("A", "01", "2025-06-30");
  const InfoPtr windowStartsLater = historyRecord("A", "02", "2025-07-01");
  const InfoPtr expiresToday = historyRecord("A", "03", "2025-03-30");
  const InfoPtr expiredYesterday = historyRecord("A", "04", "2025-03-29");
  const InfoPtr twin = historyRecord("A", "01", "2025-04-15");
  fill({windowStartsToday, windowStartsLater, expiresToday, expiredYesterday, twin});

  for (const auto& today : {moment(2025, 3, 30), moment(2025, 3, 30, 23, 59, 59)}) {
    EXPECT_EQ(controller.getNotAfterList(today, 3),
              (InfoList{windowStartsToday, expiresToday, twin}));
    EXPECT_EQ(controller.getNotAfterCheck(today), InfoList{expiredYesterday});
    EXPECT_EQ(controller.getNotAfterList(today, 0), InfoList{expiresToday});
    EXPECT_TRUE(controller.getNotAfterList(today, -1).empty());
  }
  EXPECT_EQ(list().size(), 5U) << "selection changes nothing";
}

TEST_P(VelkCertificateHistorySelectionTest, MonthEndWindows) {
  const InfoPtr may31 = historyRecord("A", "01", "2025-05-31");
  const InfoPtr leapMay31 = historyRecord("A", "02", "2024-05-31");
  const InfoPtr mar31 = historyRecord("A", "03", "2025-03-31");
  fill({may31, leapMay31, mar31});
  // 31 May minus 3 months is 28 February, or 29 in a leap year.
  EXPECT_EQ(controller.getNotAfterList(moment(2025, 2, 28), 3), (InfoList{may31, mar31}));
  EXPECT_EQ(controller.getNotAfterList(moment(2025, 2, 27, 12), 3), InfoList{mar31});
  EXPECT_EQ(controller.getNotAfterList(moment(2024, 2, 29), 3), InfoList{leapMay31});
  EXPECT_TRUE(controller.getNotAfterList(moment(2024, 2, 28), 3).empty());
  // 31 March minus 1 month is 28 February; the day before the window is out.
  EXPECT_EQ(controller.getNotAfterList(moment(2025, 2, 28), 1), InfoList{mar31});
  EXPECT_TRUE(controller.getNotAfterList(moment(2025, 2, 27), 1).empty());
  // A window reaching over a daylight-saving change (9 March in New York).
  EXPECT_EQ(controller.getNotAfterList(moment(2025, 2, 28), 12), (InfoList{may31, mar31}));
  EXPECT_EQ(controller.getNotAfterCheck(moment(2025, 6, 1)), (InfoList{may31, leapMay31, mar31}));
}

TEST_P(VelkCertificateHistorySelectionTest, UnconvertibleDatesAreSkipped) {
  const InfoPtr good = historyRecord("A", "01", "2025-04-01");
  const InfoPtr bad = historyRecord("A", "02", "2025/04/01");
  const InfoPtr empty = historyRecord("A", "03", "");
  fill({bad, good, empty});
  EXPECT_EQ(controller.getNotAfterList(moment(2025, 3, 30), 3), InfoList{good});
  EXPECT_EQ(controller.getNotAfterCheck(moment(2025, 4, 30)), InfoList{good});
  // A reference moment that names no day selects nothing.
  EXPECT_TRUE(controller.getNotAfterList(foundation::DateComponents{}, 3).empty());
  EXPECT_TRUE(controller.getNotAfterCheck(foundation::DateComponents{}).empty());
  EXPECT_TRUE(controller.getNotAfterList(moment(2025, 13, 1), 3).empty());
  // Window starts beyond the calendar's range: a negative month selects
  // nothing, a positive one every record that has not expired.
  for (const std::int64_t month : {std::int64_t{-3600000}, std::int64_t{INT32_MIN}, INT64_MIN}) {
    EXPECT_TRUE(controller.getNotAfterList(moment(2025, 3, 30), month).empty()) << month;
  }
  for (const std::int64_t month : {std::int64_t{3600000}, std::int64_t{INT32_MAX}, INT64_MAX}) {
    EXPECT_EQ(controller.getNotAfterList(moment(2025, 3, 30), month), InfoList{good}) << month;
  }

  log.skip();
  controller.removeSameData(list());
  EXPECT_TRUE(controller.getNotAfterCheck(moment(2025, 4, 30)).empty());
  const std::string op = "getNotAfterCheck(baseDate:)";
  std::vector<LogLine> lines = log.newLines();
  ASSERT_GE(lines.size(), 2U);
  EXPECT_EQ(lines.back(),
            debugLine(kController, op,
                      " *** getNotAfterCheck(baseDate:Date) -> [VelkCertificateHistoryInfo]  END "
                      "*** "));
}

INSTANTIATE_TEST_SUITE_P(TimeZones, VelkCertificateHistorySelectionTest,
                         ::testing::Values("UTC", "America/New_York", "Asia/Tokyo"));

}  // namespace
