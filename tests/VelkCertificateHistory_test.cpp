// The history record, the history file's controller and its list operations.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <climits>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "VelkUpdateReminder/VelkCertificateHistoryFileController.h"
#include "foundation/Calendar.h"
#include "support/LogLines.h"
#include "support/Records.h"
#include "support/ScopedEnv.h"
#include "support/TempDir.h"
#include "support/TempHome.h"

namespace {

using testing::Contains;
using velktest::debugLine;
using velktest::errorLine;
using velktest::historyRecord;
using velktest::InfoList;
using velktest::moment;
using velktest::readFileBytes;
using velktest::serialsOf;
using Controller = VelkCertificateHistoryFileController;
using InfoPtr = Controller::InfoPtr;

constexpr const char* kController = "VelkCertificateHistoryFileController";
constexpr const char* kInfo = "VelkCertificateHistoryInfo";
constexpr const char* kRead = "readFile(varidReadRowCount:)";

// A valid record line (without line feed) whose serial number is `n` in hex.
std::string numbered(int n) {
  const std::string serial = {"0123456789ABCDEF"[(n >> 4) & 15], "0123456789ABCDEF"[n & 15]};
  return std::string(n % 2 != 0 ? "A" : "S") + "," + serial + ",2027-01-31,2025-03-09 14:05:00";
}

class VelkCertificateHistoryTest : public testing::Test {
 protected:
  // Writes the history file and reads it into the controller.
  bool read(const std::string& text, std::int64_t limit = 10) {
    velktest::writeHistory(home, text);
    return controller.readFile(limit);
  }
  std::vector<std::string> serials() {
    return serialsOf(controller.getCertificateHistoryInfoList());
  }
  void fill(const InfoList& records) {
    for (const InfoPtr& info : records) {
      controller.addCirtificateFile(info);
    }
  }

  velktest::TempHome home;
  velktest::LogLines log{home.logFile()};
  Controller controller;
};

TEST_F(VelkCertificateHistoryTest, HistoryReadsAndSavesToTheSameBytesInPlace) {
  std::string text = "1\n";
  for (int n = 0; n < 10; ++n) {
    text += numbered(n) + "\n";
  }
  // A NUL byte and non-ASCII text are ordinary characters of a field.
  text += std::string("S,0A") + '\0' + "0B,2027-01-31,2025-03-09 14:05:00\n";
  text += "A,\xE8\xA8\xBC\xE6\x98\x8E,2027-01-31,2025-03-09 14:05:00\n";
  ASSERT_TRUE(read(text, 12));
  EXPECT_EQ(serials().size(), 12U);
  struct stat before = {};
  ASSERT_EQ(::stat(home.historyFile().c_str(), &before), 0);
  ASSERT_TRUE(controller.saveFile());
  EXPECT_EQ(readFileBytes(home.historyFile()), text);
  struct stat after = {};
  ASSERT_EQ(::stat(home.historyFile().c_str(), &after), 0);
  EXPECT_EQ(before.st_ino, after.st_ino) << "the file was replaced, not rewritten";

  // Only "1" is on; whatever was read is written back as 0 or 1.
  for (const char* setting : {"0", "true", " 1", "1 ", "01"}) {
    ASSERT_TRUE(read(setting + std::string("\n") + numbered(1) + "\n")) << setting;
    EXPECT_FALSE(controller.isUpdateSetting()) << setting;
    ASSERT_TRUE(controller.saveFile());
    EXPECT_EQ(readFileBytes(home.historyFile()), "0\n" + numbered(1) + "\n");
  }
  // An empty first line ends the reading, whatever follows.
  for (const std::string& empty : {"\n" + numbered(1), std::string()}) {
    ASSERT_TRUE(read("1\n" + numbered(1)));
    ASSERT_TRUE(read(empty));
    EXPECT_FALSE(controller.isUpdateSetting());
    EXPECT_TRUE(serials().empty());
  }
}

TEST_F(VelkCertificateHistoryTest, LinesEndAtEveryNewlineCharacter) {
  for (const std::string newline :
       {"\n", "\v", "\f", "\r", "\r\n", "\xC2\x85", "\xE2\x80\xA8", "\xE2\x80\xA9"}) {
    std::string text = "1";
    for (int n = 1; n <= 3; ++n) {
      text.append(newline).append(numbered(n));
    }
    ASSERT_TRUE(read(text));
    EXPECT_TRUE(controller.isUpdateSetting());
    EXPECT_EQ(serials(), (std::vector<std::string>{"01", "02", "03"})) << newline;
  }
  // U+0A85 (E0 AA 85) merely contains the bytes of a newline character.
  ASSERT_TRUE(read("1\nS,\xE0\xAA\x85,2027-01-31,2025-03-09 14:05:00\n"));
  EXPECT_EQ(serials(), std::vector<std::string>{"\xE0\xAA\x85"});
}

TEST_F(VelkCertificateHistoryTest, RecordLinesAreTakenAsTheyAreOrSkipped) {
  ASSERT_TRUE(
      read("1\n"
           "S,01,2027-01-31\n"
           "S,02,2027-01-31,2025-03-09 14:05:00,\n"
           "S, 04,2027-01-31,2025-03-09 14:05:00\n"
           "S,05, 2027-01-31,2025-03-09 14:05:00\n"
           "S,06,2027-01-31,2025-03-09 14:05:00 \n"
           "S ,07,2027-01-31,2025-03-09 14:05:00\n"
           "A,08,2027-1-31,2025-03-09 4:05:00\n"));
  // The serial keeps its blank; the dates were parsed and written anew.
  EXPECT_EQ(serials(), (std::vector<std::string>{" 04", "08"}));
  EXPECT_EQ(controller.getCertificateHistoryInfoList().back()->openTime, "2025-03-09 04:05:00");
  const auto lines = log.newLines();
  EXPECT_THAT(lines, Contains(errorLine(kController, "readExpirationInfo(line:)",
                                        " *** format error : item count= 5 *** ")));
  EXPECT_THAT(lines, Contains(errorLine(kInfo, "setNotAfter(not_After:)",
                                        " *** ParseError ->  2027-01-31*** ")));
}

TEST_F(VelkCertificateHistoryTest, TextThatIsNotUtf8FailsTheReadAndEmptiesTheList) {
  // The rules of UTF-8 themselves are checked with the log's escaping.
  for (const std::string bad : {
           "\x80",          // a lone continuation byte
           "\xC0\xAF",      // overlong '/'
           "\xED\xA0\x80",  // surrogate U+D800
           "\xE2\x82",      // truncated at the end of the file
       }) {
    ASSERT_TRUE(read("1\n" + numbered(1) + "\n"));
    EXPECT_FALSE(read("0\n" + numbered(2) + "\nS," + bad + ",2027-01-31,2025-03-09 14:05:00"));
    EXPECT_TRUE(serials().empty());
    EXPECT_TRUE(controller.isUpdateSetting()) << "the setting is kept";
    EXPECT_THAT(log.newLines(),
                Contains(errorLine(kController, kRead,
                                   " String(contentsOfFile: self.filepathHist, encoding: .utf8) "
                                   "error")));
  }
  // The largest code point and characters of every length are fine.
  ASSERT_TRUE(
      read("1\nS,\xF4\x8F\xBF\xBF\xC3\xA9\xE8\xA8\xBC\xF0\x9F\x98\x80\x7F,"
           "2027-01-31,2025-03-09 14:05:00\n"));
  EXPECT_EQ(serials().size(), 1U);
}

TEST_F(VelkCertificateHistoryTest, RowLimitCountsOnlyValidRecords) {
  std::string mixed = "1\nbad\n";
  for (int n = 0; n < 12; ++n) {
    mixed += numbered(n) + (n % 4 == 1 ? "\nX,1,2,3\n\n" : "\n");
  }
  ASSERT_TRUE(read(mixed, 10));
  EXPECT_EQ(serials(),
            (std::vector<std::string>{"00", "01", "02", "03", "04", "05", "06", "07", "08", "09"}));
  // A limit of 0 or below still examines the first record line, and only it.
  for (const std::int64_t limit : {std::int64_t{0}, std::int64_t{-1}, INT64_MIN}) {
    ASSERT_TRUE(read("1\n" + numbered(1) + "\n" + numbered(2) + "\n", limit));
    EXPECT_EQ(serials(), std::vector<std::string>{"01"});
    ASSERT_TRUE(read("1\nbad\n" + numbered(2) + "\n", limit));
    EXPECT_TRUE(serials().empty());
  }
}

TEST_F(VelkCertificateHistoryTest, MissingOrMisplacedFiles) {
  // A folder at the history's place exists but reads and writes as nothing.
  std::filesystem::create_directories(home.historyFile());
  EXPECT_TRUE(controller.isExists());
  EXPECT_FALSE(controller.readFile(10));
  EXPECT_FALSE(controller.saveFile());

  // A plain file where the application directory should be.
  const velktest::TempHome other;
  std::filesystem::create_directories(other.root() + "/data");
  velktest::writeFileBytes(other.appDir(), "not a folder");
  velktest::LogLines otherLog(other.logFile());
  Controller blocked;
  EXPECT_THAT(otherLog.newLines(),
              Contains(errorLine(kController, "createDirectry()", " *** not directry *** ")));
  EXPECT_FALSE(blocked.saveFile());
  EXPECT_FALSE(blocked.isExists());
  EXPECT_EQ(readFileBytes(other.appDir()), "not a folder");
}

class ExpirySelectionTest : public VelkCertificateHistoryTest,
                            public testing::WithParamInterface<const char*> {
 protected:
  velktest::ScopedEnv tz{"TZ", GetParam()};
};

TEST_P(ExpirySelectionTest, WindowOfMonthsBeforeTheExpiry) {
  struct Row {
    foundation::DateComponents today;
    std::int64_t months;
    std::string notAfter;
    bool selected;  // by getNotAfterList
    bool expired;   // by getNotAfterCheck
  };
  const std::vector<Row> rows = {
      {moment(2025, 3, 30), 3, "2025-06-30", true, false},   // the window opens today
      {moment(2025, 3, 30), 3, "2025-07-01", false, false},  // it opens tomorrow
      {moment(2025, 3, 30), 3, "2025-03-30", true, false},   // expires today
      {moment(2025, 3, 30, 23), 3, "2025-03-29", false, true},
      {moment(2025, 3, 30), 0, "2025-03-30", true, false},
      {moment(2025, 3, 30), 0, "2025-03-31", false, false},
      {moment(2025, 3, 30), -1, "2025-03-30", false, false},
      // 31 May minus 3 months is 28 February, or 29 in a leap year.
      {moment(2025, 2, 28), 3, "2025-05-31", true, false},
      {moment(2025, 2, 27, 12), 3, "2025-05-31", false, false},
      {moment(2024, 2, 29), 3, "2024-05-31", true, false},
      {moment(2024, 2, 28), 3, "2024-05-31", false, false},
      // Over the daylight-saving change of 9 March in New York.
      {moment(2025, 2, 28), 12, "2025-05-31", true, false},
      // Texts and moments that name no day, and look-aheads beyond the calendar.
      {moment(2025, 3, 30), 3, "2025/04/01", false, false},
      {foundation::DateComponents{}, 3, "2025-04-01", false, false},
      {moment(2025, 13, 1), 3, "2025-04-01", false, false},
      {moment(2025, 3, 30), -3600000, "2025-04-01", false, false},
      {moment(2025, 3, 30), INT64_MIN, "2025-04-01", false, false},
  };
  for (const Row& row : rows) {
    const InfoPtr record = historyRecord("A", "01", row.notAfter);
    controller.removeSameData(controller.getCertificateHistoryInfoList());
    fill({historyRecord("S", "02", "2099-01-01"), record});
    const std::string what = row.notAfter + " by " + std::to_string(row.today.day.value_or(0)) +
                             " " + std::to_string(row.months);
    EXPECT_EQ(controller.getNotAfterList(row.today, row.months),
              row.selected ? InfoList{record} : InfoList{})
        << what;
    EXPECT_EQ(controller.getNotAfterCheck(row.today), row.expired ? InfoList{record} : InfoList{})
        << what;
  }
  // A look-ahead past the calendar's range opens the window before any date:
  // every record that has not expired is selected.
  controller.removeSameData(controller.getCertificateHistoryInfoList());
  const InfoPtr far = historyRecord("S", "02", "2099-01-01");
  fill({far, historyRecord("A", "01", "2025-03-29")});
  for (const std::int64_t months : {std::int64_t{3600000}, INT64_MAX}) {
    EXPECT_EQ(controller.getNotAfterList(moment(2025, 3, 30), months), InfoList{far}) << months;
  }
}

INSTANTIATE_TEST_SUITE_P(TimeZones, ExpirySelectionTest,
                         testing::Values("UTC", "America/New_York", "Asia/Tokyo"));

TEST_F(VelkCertificateHistoryTest, RecordSelfCheckAndFields) {
  struct Row {
    std::shared_ptr<VelkCertificateHistoryInfo> info;
    std::string failure;  // the selfCheck() line that says why; empty when valid
  };
  const std::vector<Row> rows = {
      {historyRecord("A", "01", "2025-03-09", "2025-03-09 00:00:00"), ""},
      {historyRecord("S", " ", "2025-03-09", "2025-03-09 00:00:00"), ""},
      {historyRecord("", "01", "2025-03-09", "2025-03-09 00:00:00"),
       " *** format (class type) error :  *** "},
      {historyRecord("s", "", "x", ""), " *** format (class type) error : s *** "},
      {historyRecord("A", "", "x", ""), " *** format (serial no) error : blank *** "},
      {historyRecord("A", "01", "2025/03/09", ""),
       " *** format (Expiration Date) error : 2025/03/09 *** "},
      {historyRecord("A", "01", "2025-03-09", "2025-03-09"),
       " *** format (Display Date) error : 2025-03-09 *** "},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(row.info->selfCheck(), row.failure.empty()) << row.failure;
    if (!row.failure.empty()) {
      EXPECT_THAT(log.newLines(), Contains(debugLine(kInfo, "selfCheck()", row.failure)));
    }
  }
  VelkCertificateHistoryInfo info;
  for (const char* refused : {"a", "s", "", "AS", " A", "A "}) {
    EXPECT_FALSE(info.isDcTypeString(refused)) << refused;
  }

  // A bad expiry is kept as it came, a bad recording time is emptied.
  info.setNotAfter(std::string("2025/03/09"));
  info.setOpenTime(std::string("2025-03-09"));
  EXPECT_EQ(info.getNotAfter(), "2025/03/09");
  EXPECT_EQ(info.getOpenTime(), "");
  EXPECT_FALSE(info.getNotAfterDateFmt());
}

}  // namespace
