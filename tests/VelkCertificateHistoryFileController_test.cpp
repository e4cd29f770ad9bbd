#include "VelkUpdateReminder/VelkCertificateHistoryFileController.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <array>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "support/LogLines.h"
#include "support/ScopedEnv.h"
#include "support/TempDir.h"
#include "support/TempHome.h"

namespace {

using velktest::debugLine;
using velktest::errorLine;
using velktest::LogLine;
using velktest::readFileBytes;
using velktest::writeFileBytes;
using Controller = VelkCertificateHistoryFileController;
using namespace std::string_view_literals;

constexpr const char* kController = "VelkCertificateHistoryFileController";
constexpr const char* kInfo = "VelkCertificateHistoryInfo";
constexpr const char* kCommon = "VelkUpdateReminderCommon";
constexpr const char* kRead = "readFile(varidReadRowCount:)";
constexpr const char* kLine = "readExpirationInfo(line:)";

// A valid record line whose serial number is `n` in hexadecimal.
std::string recordLine(int n) {
  std::array<char, 64> line{};
  std::snprintf(line.data(), line.size(), "%s,%02X,2027-01-31,2025-03-09 14:%02d:00",
                n % 2 != 0 ? "A" : "S", n, n % 60);
  return line.data();
}

std::vector<std::string> serialsOf(Controller& controller) {
  std::vector<std::string> serials;
  for (const auto& info : controller.getCertificateHistoryInfoList()) {
    serials.push_back(info->serialNumber);
  }
  return serials;
}

// The lines a valid record line writes from readExpirationInfo(line:) START
// to its END, while readFile(varidReadRowCount:) is the caller.
std::vector<LogLine> validRecordLines() {
  const auto info = [](const std::string& op, const std::string& message) {
    return debugLine(kInfo, op, message);
  };
  return {
      debugLine(kController, kLine,
                " *** readExpirationInfo(line:String) -> VelkCertificateHistoryInfo  START *** "),
      info("setDcClass(dcClass:)", " *** setDcClass(dcClass:String) START *** "),
      info("setDcClass(dcClass:)", " *** setDcClass(dcClass:String) END *** "),
      info("setSerialNumber(serialNumber:)",
           " *** setSerialNumber(serialNumber:String) START *** "),
      info("setSerialNumber(serialNumber:)", " *** setSerialNumber(serialNumber:String) END *** "),
      info("setNotAfter(not_After:)", " *** setNotAfter(not_After:String) START *** "),
      info("setNotAfter(not_After:)", " *** setNotAfter(not_After:String) END *** "),
      info("setOpenTime(timeString:)", " *** void setOpenTime(String openTime)  START *** "),
      info("setOpenTime(timeString:)", " *** void setOpenTime(String openTime)  END *** "),
      info("selfCheck()", " *** selfCheck() -> Bool START *** "),
      info("isDcTypeString(dcType:)", " *** isDcTypeString(dcType:String) -> Bool START *** "),
      info("isDcTypeString(dcType:)", " *** return true; *** "),
      info("isDcTypeString(dcType:)", " *** isDcTypeString(dcType:String) -> Bool  END *** "),
      info("selfCheck()", " *** return true *** "),
      info("selfCheck()", " *** selfCheck() -> Bool END *** "),
      debugLine(kController, kLine, " *** return info *** "),
      debugLine(kController, kLine,
                " *** readExpirationInfo(line:String) -> VelkCertificateHistoryInfo?  END *** "),
  };
}

// The lines of a record line that does not cut into `count` items.
std::vector<LogLine> itemCountLines(int count) {
  return {
      debugLine(kController, kLine,
                " *** readExpirationInfo(line:String) -> VelkCertificateHistoryInfo  START *** "),
      errorLine(kController, kLine,
                " *** format error : item count= " + std::to_string(count) + " *** "),
      debugLine(kController, kLine, " *** return nil *** "),
      debugLine(kController, kLine,
                " *** readExpirationInfo(line:String) -> VelkCertificateHistoryInfo?  END *** "),
  };
}

void append(std::vector<LogLine>& to, const std::vector<LogLine>& lines) {
  to.insert(to.end(), lines.begin(), lines.end());
}

// Replaces the variable failure description of a line that starts with
// `prefix` and ends with `suffix` by "<description>", so that whole
// sequences can be compared.
void maskDescription(std::vector<LogLine>& lines, const std::string& prefix,
                     const std::string& suffix) {
  for (LogLine& line : lines) {
    const std::string& m = line.message;
    if (m.size() > prefix.size() + suffix.size() && m.starts_with(prefix) && m.ends_with(suffix)) {
      line.message = prefix;
      line.message.append("<description>").append(suffix);
    }
  }
}

class VelkCertificateHistoryFileControllerTest : public ::testing::Test {
 protected:
  // Writes the history file (making the application directory) and reads it
  // into a new controller with the given limit.
  bool readText(const std::string& text, std::int64_t limit = 10) {
    std::filesystem::create_directories(home.appDir());
    writeFileBytes(home.historyFile(), text);
    return controller.readFile(limit);
  }

  velktest::TempHome home;
  velktest::LogLines log{home.logFile()};
  Controller controller;
};

TEST_F(VelkCertificateHistoryFileControllerTest, ConstructionMakesTheDirectoryWithItsLogLines) {
  const velktest::TempHome fresh;
  velktest::LogLines lines(fresh.logFile());
  const Controller first;
  EXPECT_TRUE(std::filesystem::is_directory(fresh.appDir()));
  EXPECT_FALSE(std::filesystem::exists(fresh.lockFile()));
  const std::string op = "createDirectry()";
  const std::string path = fresh.historyFile();
  std::vector<LogLine> expected = {
      debugLine(kCommon, "getCertificateHistoryFilePath()",
                " *** getCeritificateHistoryFilePath() -> String  START *** "),
      debugLine(kCommon, "getCertificateHistoryFilePath()", " *** return " + path + " *** "),
      debugLine(kCommon, "getCertificateHistoryFilePath()",
                " *** getCeritificateHistoryFilePath() -> String  END *** "),
      debugLine(kController, op, " *** createDirectry() -> Bool START  *** "),
      debugLine(kController, op, " *** return true *** "),
      debugLine(kController, op, " *** createDirectry() -> Bool  END *** "),
      debugLine(kController, "init()",
                " *** VelkCertificateHistoryFileController.init(filepath:String)  *** "),
  };
  EXPECT_EQ(lines.newLines(), expected);

  // A second controller finds the directory there.
  const Controller second;
  expected[5] = debugLine(kController, op, " *** createDirectry() -> Bool *** ");
  EXPECT_EQ(lines.newLines(), expected);
}

TEST_F(VelkCertificateHistoryFileControllerTest, ReadOfASmallFileWithOneBadLineLogsExactly) {
  log.skip();
  ASSERT_TRUE(readText("1\n" + recordLine(1) + "\nS,01,2027-01-31\n"));
  EXPECT_TRUE(controller.isUpdateSetting());
  EXPECT_EQ(serialsOf(controller), std::vector<std::string>{"01"});

  std::vector<LogLine> expected = {
      debugLine(kController, kRead, " *** readFile(varidReadRowCount:Int) -> Bool  START *** ")};
  append(expected, validRecordLines());
  expected.push_back(debugLine(kController, kRead, " *** HistoryInfo line : 1 *** "));
  append(expected, itemCountLines(3));
  // The text after the final line feed is one more, empty, record line.
  append(expected, itemCountLines(1));
  append(
      expected,
      {
          debugLine(kController, kRead, " *** return true *** "),
          debugLine(kController, kRead, " *** readFile(varidReadRowCount:Int) -> Bool  END *** "),
          debugLine(kController, "isUpdateSetting()", " *** isUpdateSetting() -> Bool  START *** "),
          debugLine(kController, "isUpdateSetting()", " *** return true *** "),
          debugLine(kController, "isUpdateSetting()", " *** isUpdateSetting() -> Bool  END *** "),
      });
  std::vector<LogLine> lines = log.newLines();
  // getCertificateHistoryInfoList() in serialsOf() comes last.
  ASSERT_EQ(lines.size(), expected.size() + 2);
  lines.resize(expected.size());
  EXPECT_EQ(lines, expected);
}

TEST_F(VelkCertificateHistoryFileControllerTest, RecordThatFailsItsCheckIsSkippedWithItsLines) {
  log.skip();
  ASSERT_TRUE(readText("0\n S,0A,2027-01-31,2025-03-09 14:05:00\n" + recordLine(2), 10));
  EXPECT_EQ(serialsOf(controller), std::vector<std::string>{"02"});
  std::vector<LogLine> lines = log.newLines();
  // readFile's START, then for the bad line: START, 8 setter lines, selfCheck's
  // START and isDcTypeString's START, then the lines below.
  ASSERT_GE(lines.size(), 20U);
  const std::vector<LogLine> tail(lines.begin() + 12, lines.begin() + 20);
  const std::vector<LogLine> expected = {
      debugLine(kInfo, "isDcTypeString(dcType:)", " *** return false; *** "),
      debugLine(kInfo, "isDcTypeString(dcType:)",
                " *** isDcTypeString(dcType:String) -> Bool END *** "),
      debugLine(kInfo, "selfCheck()", " *** format (class type) error :  S *** "),
      debugLine(kInfo, "selfCheck()", " *** selfCheck() -> Bool END *** "),
      errorLine(kController, kLine, " ***  Velk Certificate Format error  *** "),
      debugLine(kController, kLine, " ***  return nil *** "),
      debugLine(kController, kLine,
                " *** readExpirationInfo(line:String) -> VelkCertificateHistoryInfo?  END *** "),
      validRecordLines().front(),
  };
  EXPECT_EQ(tail, expected);
}

TEST_F(VelkCertificateHistoryFileControllerTest, SavedHistoryReadsAndSavesToTheSameBytes) {
  std::string text = "1\n";
  for (int n = 0; n < 10; ++n) {
    text += recordLine(n) + "\n";
  }
  // A NUL byte and non-ASCII text are ordinary characters of a field.
  static constexpr std::string_view kNulLine =
      "S,0A\0"
      "0B,2027-01-31,2025-03-09 14:05:00\n"sv;
  text += kNulLine;
  text += "A,\xE8\xA8\xBC\xE6\x98\x8E,2027-01-31,2025-03-09 14:05:00\n";
  ASSERT_TRUE(readText(text, 12));
  const auto records = controller.getCertificateHistoryInfoList();
  ASSERT_EQ(records.size(), 12U);
  EXPECT_EQ(records[10]->serialNumber, std::string("0A\0"
                                                   "0B",
                                                   5));
  ASSERT_TRUE(controller.saveFile());
  EXPECT_EQ(readFileBytes(home.historyFile()), text);

  Controller again;
  ASSERT_TRUE(again.readFile(12));
  ASSERT_TRUE(again.saveFile());
  EXPECT_EQ(readFileBytes(home.historyFile()), text);
}

TEST_F(VelkCertificateHistoryFileControllerTest, SettingLineRules) {
  const std::string record = recordLine(1) + "\n";
  ASSERT_TRUE(readText("1\n" + record));
  EXPECT_TRUE(controller.isUpdateSetting());
  for (const char* setting : {"0", "true", " 1", "1 ", "01"}) {
    ASSERT_TRUE(readText(setting + std::string("\n") + record)) << setting;
    EXPECT_FALSE(controller.isUpdateSetting()) << setting;
    EXPECT_EQ(controller.getCertificateHistoryInfoList().size(), 1U);
    ASSERT_TRUE(controller.saveFile());
    EXPECT_EQ(readFileBytes(home.historyFile()), "0\n" + record);
  }

  // An empty first line ends the reading, whatever follows.
  ASSERT_TRUE(readText("1\n" + record));
  ASSERT_TRUE(readText("\n" + record));
  EXPECT_FALSE(controller.isUpdateSetting());
  EXPECT_TRUE(controller.getCertificateHistoryInfoList().empty());
  ASSERT_TRUE(readText("1\n" + record));
  ASSERT_TRUE(readText(""));
  EXPECT_FALSE(controller.isUpdateSetting());
  EXPECT_TRUE(controller.getCertificateHistoryInfoList().empty());

  ASSERT_TRUE(readText("1\n"));
  EXPECT_TRUE(controller.isUpdateSetting());
  EXPECT_TRUE(controller.getCertificateHistoryInfoList().empty());

  // A setting changed in memory is what the next save writes.
  controller.setUpdateSetting(false);
  ASSERT_TRUE(controller.saveFile());
  EXPECT_EQ(readFileBytes(home.historyFile()), "0\n");
  controller.setUpdateSetting(true);
  ASSERT_TRUE(controller.saveFile());
  EXPECT_EQ(readFileBytes(home.historyFile()), "1\n");
}

TEST_F(VelkCertificateHistoryFileControllerTest, EveryNewlineCharacterEndsALine) {
  const std::vector<std::string> newlines = {"\n",   "\v",       "\f",           "\r",
                                             "\r\n", "\xC2\x85", "\xE2\x80\xA8", "\xE2\x80\xA9"};
  for (const std::string& newline : newlines) {
    std::string text = "1";
    for (int n = 1; n <= 3; ++n) {
      text.append(newline).append(recordLine(n));
    }
    ASSERT_TRUE(readText(text));
    EXPECT_TRUE(controller.isUpdateSetting());
    EXPECT_EQ(serialsOf(controller), (std::vector<std::string>{"01", "02", "03"}));
  }
  // Each character of a CR LF pair ends a line: the empty line between them is
  // logged as a one-item line.
  log.skip();
  ASSERT_TRUE(readText("0\r\n" + recordLine(4) + "\r\n"));
  std::size_t oneItemLines = 0;
  for (const LogLine& line : log.newLines()) {
    if (line.message == " *** format error : item count= 1 *** ") {
      ++oneItemLines;
    }
  }
  EXPECT_EQ(oneItemLines, 3U);
  EXPECT_EQ(serialsOf(controller), std::vector<std::string>{"04"});
  // A character that merely contains a newline's bytes in its encoding does not
  // end a line: U+0A85 is E0 AA 85.
  ASSERT_TRUE(readText("1\nS,\xE0\xAA\x85,2027-01-31,2025-03-09 14:05:00\n"));
  EXPECT_EQ(serialsOf(controller), std::vector<std::string>{"\xE0\xAA\x85"});
}

TEST_F(VelkCertificateHistoryFileControllerTest, FieldCountAndBlanksAreNotForgiven) {
  const std::string text =
      "1\n"
      "S,01,2027-01-31\n"
      "S,02,2027-01-31,2025-03-09 14:05:00,\n"
      "S,03,2027-01-31,2025-03-09 14:05:00,x\n"
      "S, 04,2027-01-31,2025-03-09 14:05:00\n"
      "S,05, 2027-01-31,2025-03-09 14:05:00\n"
      "S,06,2027-01-31,2025-03-09 14:05:00 \n"
      "S ,07,2027-01-31,2025-03-09 14:05:00\n"
      "A,08,2027-1-31,2025-03-09 4:05:00\n";
  log.skip();
  ASSERT_TRUE(readText(text));
  // The serial keeps its blank; the expiry and time were parsed and re-rendered.
  EXPECT_EQ(serialsOf(controller), (std::vector<std::string>{" 04", "08"}));
  const auto records = controller.getCertificateHistoryInfoList();
  EXPECT_EQ(records.back()->notAfter, "2027-01-31");
  EXPECT_EQ(records.back()->openTime, "2025-03-09 04:05:00");
  std::vector<std::string> errors;
  for (const LogLine& line : log.newLines()) {
    if (line.level == "ERROR") {
      errors.push_back(line.message);
    }
  }
  const std::vector<std::string> expected = {
      " *** format error : item count= 3 *** ",    " *** format error : item count= 5 *** ",
      " *** format error : item count= 5 *** ",    " *** ParseError ->  2027-01-31*** ",
      " ***  Velk Certificate Format error  *** ", " *** Error -> 2025-03-09 14:05:00  *** ",
      " ***  Velk Certificate Format error  *** ", " ***  Velk Certificate Format error  *** ",
      " *** format error : item count= 1 *** ",
  };
  EXPECT_EQ(errors, expected);
}

TEST_F(VelkCertificateHistoryFileControllerTest, InvalidUtf8FailsTheReadAndEmptiesTheList) {
  const std::vector<std::string> invalid = {
      "\x80",              // a lone continuation byte
      "\xC0\xAF",          // overlong '/'
      "\xC1\xBF",          // overlong
      "\xE0\x80\xAF",      // overlong
      "\xF0\x80\x80\xAF",  // overlong
      "\xED\xA0\x80",      // surrogate U+D800
      "\xED\xBF\xBF",      // surrogate U+DFFF
      "\xF4\x90\x80\x80",  // U+110000
      "\xF5\x80\x80\x80",  // beyond any code point
      "\xFF",              //
      "\xE2\x82",          // truncated at the end of the file
      "\xE2\x82\x41",      // truncated before another character ('A')
  };
  for (const std::string& bad : invalid) {
    ASSERT_TRUE(readText("1\n" + recordLine(1) + "\n"));
    log.skip();
    EXPECT_FALSE(
        readText("0\n" + recordLine(2) + "\nS," + bad + ",2027-01-31,2025-03-09 14:05:00"));
    std::vector<LogLine> lines = log.newLines();
    EXPECT_TRUE(controller.getCertificateHistoryInfoList().empty());
    EXPECT_TRUE(controller.isUpdateSetting()) << "the setting is kept";
    maskDescription(lines, " *** caught an exception (", ") *** ");
    const std::vector<LogLine> expected = {
        debugLine(kController, kRead, " *** readFile(varidReadRowCount:Int) -> Bool  START *** "),
        errorLine(kController, kRead, " *** caught an exception (<description>) *** "),
        errorLine(kController, kRead,
                  " String(contentsOfFile: self.filepathHist, encoding: .utf8) error"),
        debugLine(kController, kRead, " *** return false *** "),
        debugLine(kController, kRead, " *** readFile(varidReadRowCount:Int) -> Bool  END *** "),
    };
    EXPECT_EQ(lines, expected);
  }
  // The largest code point and characters of every length are fine.
  ASSERT_TRUE(
      readText("1\nS,\xF4\x8F\xBF\xBF\xC3\xA9\xE8\xA8\xBC\xF0\x9F\x98\x80\x7F,"
               "2027-01-31,2025-03-09 14:05:00\n"));
  EXPECT_EQ(controller.getCertificateHistoryInfoList().size(), 1U);
}

TEST_F(VelkCertificateHistoryFileControllerTest, DirectoryAtTheHistoryPathExistsButDoesNotRead) {
  EXPECT_FALSE(controller.isExists());
  EXPECT_FALSE(controller.readFile(10));
  std::filesystem::create_directories(home.historyFile());
  log.skip();
  EXPECT_TRUE(controller.isExists());
  EXPECT_FALSE(controller.readFile(10));
  std::vector<LogLine> lines = log.newLines();
  ASSERT_EQ(lines.size(), 7U);
  EXPECT_EQ(lines[1], debugLine(kController, "isExists()", " *** isExists() -> Bool  END *** "));
  EXPECT_EQ(lines[3].level, "ERROR");
  EXPECT_TRUE(lines[3].message.starts_with(" *** caught an exception (")) << lines[3];
  EXPECT_EQ(lines[4].message, " String(contentsOfFile: self.filepathHist, encoding: .utf8) error");
  EXPECT_FALSE(controller.saveFile());
  EXPECT_TRUE(std::filesystem::is_directory(home.historyFile()));
}

TEST_F(VelkCertificateHistoryFileControllerTest, MissingFileIsReportedAndCreatedWithSettingOff) {
  log.skip();
  EXPECT_FALSE(controller.isExists());
  EXPECT_EQ(log.newLines()[1], debugLine(kController, "isExists()",
                                         " *** file not exists" + home.historyFile() + " *** "));
  controller.setUpdateSetting(true);
  log.skip();
  EXPECT_TRUE(controller.createNewCertificateFile());
  EXPECT_EQ(readFileBytes(home.historyFile()), "0\n");
  EXPECT_FALSE(controller.isUpdateSetting());
  EXPECT_TRUE(controller.isExists());
  const std::string op = "createNewCertificateFile()";
  const std::vector<LogLine> expected = {
      debugLine(kController, op, " *** createNewCertificateFile() -> Bool  START *** "),
      debugLine(kController, "saveFile()", " *** saveFile() -> Bool  START *** "),
      debugLine(kController, "createDirectry()", " *** createDirectry() -> Bool START  *** "),
      debugLine(kController, "createDirectry()", " *** return true *** "),
      debugLine(kController, "createDirectry()", " *** createDirectry() -> Bool *** "),
      debugLine(kController, "saveFile()", " *** return true *** "),
      debugLine(kController, "saveFile()", " *** saveFile() -> Bool  END *** "),
      debugLine(kController, op, " *** true *** "),
      debugLine(kController, op, " *** createNewCertificateFile() -> Bool  END *** "),
  };
  const std::vector<LogLine> lines = log.newLines();
  EXPECT_EQ(std::vector<LogLine>(lines.begin(), lines.begin() + 9), expected);
}

TEST_F(VelkCertificateHistoryFileControllerTest, SaveReplacesTheContentInPlace) {
  ASSERT_TRUE(readText("1\n" + recordLine(1) + "\n" + recordLine(2) + "\n" + recordLine(3)));
  struct stat before {};
  ASSERT_EQ(::stat(home.historyFile().c_str(), &before), 0);
  controller.removeTailData();
  controller.removeTailData();
  ASSERT_TRUE(controller.saveFile());
  EXPECT_EQ(readFileBytes(home.historyFile()), "1\n" + recordLine(1) + "\n");
  struct stat after {};
  ASSERT_EQ(::stat(home.historyFile().c_str(), &after), 0);
  EXPECT_EQ(before.st_ino, after.st_ino) << "the file was replaced, not rewritten";
}

TEST_F(VelkCertificateHistoryFileControllerTest, PlainFileWhereTheDirectoryShouldBe) {
  const velktest::TempHome other;
  std::filesystem::create_directories(other.root() + "/data");
  writeFileBytes(other.appDir(), "not a folder");
  velktest::LogLines lines(other.logFile());
  Controller blocked;
  std::vector<LogLine> logged = lines.newLines();
  ASSERT_EQ(logged.size(), 8U);
  const std::vector<LogLine> expected = {
      debugLine(kController, "createDirectry()", " *** createDirectry() -> Bool START  *** "),
      errorLine(kController, "createDirectry()", " *** not directry *** "),
      debugLine(kController, "createDirectry()", " *** createDirectry() -> Bool *** "),
      errorLine(kController, "init()", " *** createDirectry() error "),
      debugLine(kController, "init()",
                " *** VelkCertificateHistoryFileController.init(filepath:String)  *** "),
  };
  EXPECT_EQ(std::vector<LogLine>(logged.begin() + 3, logged.end()), expected);

  blocked.setUpdateSetting(true);
  EXPECT_FALSE(blocked.saveFile());
  EXPECT_FALSE(blocked.readFile(10));
  EXPECT_FALSE(blocked.isExists());
  EXPECT_EQ(readFileBytes(other.appDir()), "not a folder");
}

TEST_F(VelkCertificateHistoryFileControllerTest, UncreatableDirectoryLogsTheFailure) {
  // A plain file above the application directory: its creation fails.
  const velktest::TempDir data;
  writeFileBytes(data.file("file"), "");
  const velktest::ScopedEnv dataHome("XDG_DATA_HOME", data.file("file") + "/data");
  velktest::LogLines lines(home.logFile());
  lines.skip();
  Controller blocked;
  std::vector<LogLine> logged = lines.newLines();
  maskDescription(logged, " *** create directry error ", "*** ");
  ASSERT_EQ(logged.size(), 8U);
  EXPECT_EQ(logged[4], errorLine(kController, "createDirectry()",
                                 " *** create directry error <description>*** "));
  EXPECT_EQ(logged[5],
            debugLine(kController, "createDirectry()", " *** createDirectry()  END *** "));
  EXPECT_EQ(logged[6], errorLine(kController, "init()", " *** createDirectry() error "));
  EXPECT_FALSE(blocked.saveFile());
}

TEST_F(VelkCertificateHistoryFileControllerTest, RowCountLimitCountsOnlyValidRecords) {
  std::string ten = "1\n";
  for (int n = 0; n < 10; ++n) {
    ten += recordLine(n) + "\n";
  }
  ASSERT_TRUE(readText(ten + recordLine(10) + "\n" + recordLine(11) + "\n", 10));
  EXPECT_EQ(controller.getCertificateHistoryInfoList().size(), 10U);
  ASSERT_TRUE(controller.saveFile());
  EXPECT_EQ(readFileBytes(home.historyFile()), ten);

  // Invalid lines, before, between and after, do not count.
  std::string mixed = "1\nbad\n";
  for (int n = 0; n < 11; ++n) {
    mixed += recordLine(n) + (n % 4 == 1 ? "\nX,1,2,3\n\n" : "\n");
  }
  ASSERT_TRUE(readText(mixed, 10));
  EXPECT_EQ(serialsOf(controller),
            (std::vector<std::string>{"00", "01", "02", "03", "04", "05", "06", "07", "08", "09"}));

  // A limit of 0 or below still examines the first record line, and only it.
  for (const std::int64_t limit : {std::int64_t{0}, std::int64_t{-1}, INT64_MIN}) {
    ASSERT_TRUE(readText("1\n" + recordLine(1) + "\n" + recordLine(2) + "\n", limit));
    EXPECT_EQ(serialsOf(controller), std::vector<std::string>{"01"});
    ASSERT_TRUE(readText("1\nbad\n" + recordLine(2) + "\n", limit));
    EXPECT_TRUE(controller.getCertificateHistoryInfoList().empty());
  }
  // The limit is reached right after the record that meets it.
  log.skip();
  ASSERT_TRUE(readText("1\n" + recordLine(1) + "\nbad\n", 1));
  std::size_t recordLinesExamined = 0;
  for (const LogLine& line : log.newLines()) {
    if (line.operation == kLine && line.message.ends_with("  START *** ")) {
      ++recordLinesExamined;
    }
  }
  EXPECT_EQ(recordLinesExamined, 1U);
}

TEST_F(VelkCertificateHistoryFileControllerTest, ManyInvalidLinesBeforeTheRecords) {
  std::string text = "1\n";
  for (int n = 0; n < 100000; ++n) {
    text += n % 2 != 0 ? "x\n" : "S,01,02\n";
  }
  for (int n = 0; n < 10; ++n) {
    text += recordLine(n) + "\n";
  }
  ASSERT_TRUE(readText(text, 10));
  EXPECT_EQ(serialsOf(controller),
            (std::vector<std::string>{"00", "01", "02", "03", "04", "05", "06", "07", "08", "09"}));
}

}  // namespace
