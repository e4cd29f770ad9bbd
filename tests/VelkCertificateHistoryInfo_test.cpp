#include "VelkUpdateReminder/VelkCertificateHistoryInfo.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "VelkCertificateHistoryTestRecords.h"
#include "foundation/Calendar.h"
#include "support/LogLines.h"
#include "support/ScopedEnv.h"
#include "support/TempHome.h"

namespace {

using velktest::debugLine;
using velktest::errorLine;
using velktest::historyRecord;
using velktest::LogLine;

constexpr const char* kInfo = "VelkCertificateHistoryInfo";

class VelkCertificateHistoryInfoTest : public ::testing::Test {
 protected:
  velktest::TempHome home;
  velktest::LogLines log{home.logFile()};
};

TEST_F(VelkCertificateHistoryInfoTest, NewRecordIsEmptyAndFailsAtTheClassCheck) {
  VelkCertificateHistoryInfo info;
  EXPECT_EQ(info.getDcClass(), "");
  EXPECT_EQ(info.getSerialNumber(), "");
  EXPECT_EQ(info.getNotAfter(), "");
  EXPECT_EQ(info.getOpenTime(), "");
  log.skip();

  EXPECT_FALSE(info.selfCheck());
  const std::vector<LogLine> expected = {
      debugLine(kInfo, "selfCheck()", " *** selfCheck() -> Bool START *** "),
      debugLine(kInfo, "isDcTypeString(dcType:)",
                " *** isDcTypeString(dcType:String) -> Bool START *** "),
      debugLine(kInfo, "isDcTypeString(dcType:)", " *** return false; *** "),
      debugLine(kInfo, "isDcTypeString(dcType:)",
                " *** isDcTypeString(dcType:String) -> Bool END *** "),
      debugLine(kInfo, "selfCheck()", " *** format (class type) error :  *** "),
      debugLine(kInfo, "selfCheck()", " *** selfCheck() -> Bool END *** "),
  };
  EXPECT_EQ(log.newLines(), expected);
}

TEST_F(VelkCertificateHistoryInfoTest, SelfCheckStopsAtTheFirstFailedCheck) {
  struct Case {
    std::shared_ptr<VelkCertificateHistoryInfo> info;
    std::string failure;
    std::string end;
  };
  const std::vector<Case> cases = {
      {historyRecord("A", "", "x", ""), " *** format (serial no) error : blank *** ",
       " *** selfCheck() -> Bool  END *** "},
      {historyRecord("A", "01", "2025/03/09", ""),
       " *** format (Expiration Date) error : 2025/03/09 *** ",
       " *** boolean selfCheck()  END *** "},
      {historyRecord("A", "01", "2025-03-09", "2025-03-09"),
       " *** format (Display Date) error : 2025-03-09 *** ", " *** boolean selfCheck()  END *** "},
  };
  for (const Case& c : cases) {
    log.skip();
    EXPECT_FALSE(c.info->selfCheck());
    const std::vector<LogLine> lines = log.newLines();
    ASSERT_EQ(lines.size(), 6U);
    EXPECT_EQ(lines[4], debugLine(kInfo, "selfCheck()", c.failure));
    EXPECT_EQ(lines[5], debugLine(kInfo, "selfCheck()", c.end));
  }
  // A serial number of blanks is not blank.
  EXPECT_TRUE(historyRecord("A", " ", "2025-03-09", "2025-03-09 00:00:00")->selfCheck());
}

TEST_F(VelkCertificateHistoryInfoTest, ClassCodesAndDisplayNames) {
  VelkCertificateHistoryInfo info;
  EXPECT_TRUE(info.isDcTypeString("A"));
  EXPECT_TRUE(info.isDcTypeString("S"));
  for (const char* refused : {"a", "s", "", "AS", " A", "A "}) {
    EXPECT_FALSE(info.isDcTypeString(refused)) << refused;
  }
  info.setDcClass("A");
  EXPECT_EQ(info.getDcClassName(), "利用者証明用");
  info.setDcClass("S");
  EXPECT_EQ(info.getDcClassName(), "署名用");
  info.setDcClass("s");
  EXPECT_EQ(info.getDcClassName(), "");
}

TEST_F(VelkCertificateHistoryInfoTest, EqualsComparesClassAndSerialOnly) {
  const auto a = historyRecord("A", "0A", "2025-01-01", "2024-01-01 00:00:00");
  EXPECT_TRUE(a->equals(historyRecord("A", "0A", "2030-12-31", "")));
  EXPECT_FALSE(a->equals(historyRecord("S", "0A", "2025-01-01", "2024-01-01 00:00:00")));
  EXPECT_FALSE(a->equals(historyRecord("A", "0a", "2025-01-01", "2024-01-01 00:00:00")));
  EXPECT_FALSE(a->equals(nullptr));

  // The class mismatch and the serial mismatch end with different texts.
  log.skip();
  a->equals(historyRecord("S", "0A", "", ""));
  a->equals(historyRecord("A", "0B", "", ""));
  a->equals(historyRecord("A", "0A", "", ""));
  const std::string op = "equals(info:)";
  const std::string start = " *** equals(info:VelkCertificateHistoryInfo) -> Bool START *** ";
  const std::string end1 = " *** equals(info:VelkCertificateHistoryInfo) -> Bool END *** ";
  const std::string end2 = " *** equals(info:VelkCertificateHistoryInfo) -> Bool  END *** ";
  const std::vector<LogLine> expected = {
      debugLine(kInfo, op, start),
      debugLine(kInfo, op, " *** return false; *** "),
      debugLine(kInfo, op, end2),
      debugLine(kInfo, op, start),
      debugLine(kInfo, op, " *** return false; *** "),
      debugLine(kInfo, op, end1),
      debugLine(kInfo, op, start),
      debugLine(kInfo, op, " *** return true; *** "),
      debugLine(kInfo, op, end1),
  };
  EXPECT_EQ(log.newLines(), expected);
}

TEST_F(VelkCertificateHistoryInfoTest, ExpiryTextSetterStoresRenderingOrKeepsBadInput) {
  VelkCertificateHistoryInfo info;
  log.skip();
  info.setNotAfter(std::string("2025-3-9"));
  EXPECT_EQ(info.getNotAfter(), "2025-03-09");
  info.setNotAfter(std::string("2025/03/09"));
  EXPECT_EQ(info.getNotAfter(), "2025/03/09");
  const std::string op = "setNotAfter(not_After:)";
  const std::vector<LogLine> expected = {
      debugLine(kInfo, op, " *** setNotAfter(not_After:String) START *** "),
      debugLine(kInfo, op, " *** setNotAfter(not_After:String) END *** "),
      debugLine(kInfo, "getNotAfter()", " *** getNotAfter() -> String START *** "),
      debugLine(kInfo, "getNotAfter()", " *** getNotAfter() -> String END *** "),
      debugLine(kInfo, op, " *** setNotAfter(not_After:String) START *** "),
      errorLine(kInfo, op, " *** ParseError -> 2025/03/09*** "),
      debugLine(kInfo, "getNotAfter()", " *** getNotAfter() -> String START *** "),
      debugLine(kInfo, "getNotAfter()", " *** getNotAfter() -> String END *** "),
  };
  EXPECT_EQ(log.newLines(), expected);
  info.setDcClass("A");
  info.setSerialNumber("01");
  info.setOpenTime(std::string("2025-03-09 10:00:00"));
  EXPECT_FALSE(info.selfCheck());
}

TEST_F(VelkCertificateHistoryInfoTest, RecordingTimeSetterStoresRenderingOrEmpties) {
  VelkCertificateHistoryInfo info;
  info.setOpenTime(std::string("2025-3-9 4:05:00"));
  EXPECT_EQ(info.openTime, "2025-03-09 04:05:00");
  log.skip();
  info.setOpenTime(std::string("2025-03-09"));
  EXPECT_EQ(info.openTime, "");
  const std::string op = "setOpenTime(timeString:)";
  const std::vector<LogLine> expected = {
      debugLine(kInfo, op, " *** void setOpenTime(String openTime)  START *** "),
      errorLine(kInfo, op, " *** Error -> 2025-03-09 *** "),
      debugLine(kInfo, op, " *** void setOpenTime(String openTime)  END *** "),
  };
  EXPECT_EQ(log.newLines(), expected);
}

TEST_F(VelkCertificateHistoryInfoTest, DateAndComponentSettersRenderInTheirForms) {
  const velktest::ScopedEnv tz("TZ", "Asia/Tokyo");
  foundation::DateComponents components;
  components.year = 2026;
  components.month = 12;
  components.day = 4;
  components.hour = 9;
  components.minute = 5;
  components.second = 7;
  const std::optional<foundation::Date> date = foundation::Calendar::current().date(components);
  ASSERT_TRUE(date);

  VelkCertificateHistoryInfo info;
  log.skip();
  info.setNotAfter(*date);
  info.setOpenTime(components);
  EXPECT_EQ(info.notAfter, "2026-12-04");
  EXPECT_EQ(info.openTime, "2026-12-04 09:05:07");

  std::vector<LogLine> lines = log.newLines();
  ASSERT_GE(lines.size(), 4U);
  // The expiry setter has no END text: it repeats its START line.
  const LogLine start = debugLine(kInfo, "setNotAfter(not_After:)",
                                  " *** setNotAfter(not_After:DateComponents) START *** ");
  EXPECT_EQ(lines[0], start);
  EXPECT_EQ(lines[1], start);
  EXPECT_EQ(lines[2], debugLine(kInfo, "setOpenTime(timeDateComponent:)",
                                " *** setOpenTime(openTime:Date)  START *** "));
  EXPECT_EQ(lines.back(), debugLine(kInfo, "setOpenTime(timeDateComponent:)",
                                    " *** setOpenTime(openTime:Date)  END *** "));

  // The expiry date reads back as midnight of its day.
  components.hour = components.minute = components.second = 0;
  EXPECT_EQ(info.getNotAfterDateFmt(), foundation::Calendar::current().date(components));
  info.notAfter = "2026-12-4x";
  EXPECT_FALSE(info.getNotAfterDateFmt());
}

}  // namespace
