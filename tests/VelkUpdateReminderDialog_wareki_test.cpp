// Expiry dates in the Japanese era calendar and the texts of a table row.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "VelkUpdateReminder/VelkUpdateReminderDialog.h"
#include "support/LogLines.h"
#include "support/TempHome.h"

namespace {

using velktest::debugLine;
using velktest::LogLine;

const std::string kDialog = "VelkUpdateReminderDialog";
const std::string kWareki = "ChangeWareki(strDate:)";
const std::string kConvert = "convertDispInfo(info:)";

class WarekiTest : public testing::Test {
 protected:
  velktest::TempHome home;
  velktest::LogLines log{home.logFile()};
  std::shared_ptr<VelkUpdateReminderDialog> dialog =
      std::make_shared<VelkUpdateReminderDialog>(std::nullopt, nullptr);
};

TEST_F(WarekiTest, EveryEraOnBothSidesOfItsBoundaries) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"2023-04-01", "令和5年4月1日"},
      {"2019-05-01", "令和元年5月1日"},
      {"2019-04-30", "平成31年4月30日"},
      {"1989-01-08", "平成元年1月8日"},
      {"1989-01-07", "昭和64年1月7日"},
      {"1926-12-25", "昭和元年12月25日"},
      {"1926-12-24", "大正15年12月24日"},
      {"1912-07-30", "大正元年7月30日"},
      {"1912-07-29", "明治45年7月29日"},
      {"2030-10-10", "令和12年10月10日"},
      {"2023-04-01 09:30:00", "令和5年4月1日"},
      // No lower bound: everything before 大正 is 明治, its first year too.
      {"1868-01-01", "明治元年1月1日"},
      {"1867-12-31", "明治0年12月31日"},
      {"0001-01-01", "明治-1866年1月1日"},
      // Only a leading zero goes; other digits stay as they are.
      {"2020-01-10", "令和2年1月10日"},
      {"2020-10-01", "令和2年10月1日"},
      {"9999-12-31", "令和7981年12月31日"},
      // The separators are skipped whatever they are; month and day unchecked.
      {"2023/13x99", "令和5年13月99日"},
      {"2023-00-00", "令和5年0月0日"},
      // Positions count characters: a multi-byte separator is one, and a stray
      // continuation byte belongs to the character before it.
      {"2023年04月01日", "令和5年4月1日"},
      {"2035-07-\x9e"
       "15",
       "令和17年7月15日"},
  };
  for (const auto& [input, expected] : cases) {
    EXPECT_EQ(dialog->ChangeWareki(input), expected) << input;
  }
}

TEST_F(WarekiTest, TextsThatAreNoDateGiveAnEmptyResultWithAnErrorLine) {
  for (const std::string input :
       {"", "2023", "2023-04", "2023-04-1", "2023-4-01", "abcd-ef-gh", "2023-04-0x", "+202-04-01",
        "-123-04-01", "２０２３-04-01", "2023-０4-01", "令和五年四月一日", "2023-04-\xff\xfe"}) {
    log.skip();
    EXPECT_EQ(dialog->ChangeWareki(input), "") << input;
    const std::vector<LogLine> lines = log.newLines();
    ASSERT_EQ(lines.size(), 3U) << input;
    EXPECT_EQ(lines.front(), debugLine(kDialog, kWareki,
                                       " *** ChangeWareki(String strDate) -> String  START *** "));
    EXPECT_EQ(lines[1].level, "ERROR");
    EXPECT_EQ(lines.back(),
              debugLine(kDialog, kWareki, " *** ChangeWareki(String strDate) -> String  END *** "));
  }
}

TEST_F(WarekiTest, RowTextsOfARecordAndTheirLogLines) {
  auto record = std::make_shared<VelkCertificateHistoryInfo>();
  record->dcClass = "S";
  record->serialNumber = "00FF10";
  record->notAfter = "2019-05-01";
  log.skip();
  EXPECT_EQ(dialog->convertDispInfo(record),
            (std::vector<std::string>{"署名用", "00FF10", "令和元年5月1日"}));
  std::vector<LogLine> lines = log.newLines();
  // The record's getters log their own lines in between.
  ASSERT_GE(lines.size(), 4U);
  EXPECT_EQ(
      lines.front(),
      debugLine(kDialog, kConvert,
                " *** convertDispInfo(info:VelkCertificateHistoryInfo) -> String  START *** "));
  EXPECT_EQ(lines.back(),
            debugLine(kDialog, kConvert,
                      " *** onvertDispInfo(info:VelkCertificateHistoryInfo) -> String  END *** "));
  std::vector<std::string> order;
  for (const LogLine& line : lines) {
    if (line.message.ends_with("START *** ")) {
      order.push_back(line.operation);
    }
  }
  EXPECT_EQ(order, (std::vector<std::string>{kConvert, "getDcClassName()", "getSerialNumber()",
                                             "getNotAfter()", kWareki}));

  record->dcClass = "A";
  EXPECT_EQ(dialog->convertDispInfo(record)[0], "利用者証明用");
  // An unknown class still gives three texts, the first one empty.
  record->dcClass = "X";
  record->notAfter = "garbage";
  EXPECT_EQ(dialog->convertDispInfo(record), (std::vector<std::string>{"", "00FF10", ""}));
  EXPECT_EQ(dialog->convertDispInfo(nullptr), (std::vector<std::string>{"", "", ""}));
}

}  // namespace
