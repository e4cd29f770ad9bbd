#include <gtest/gtest.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <ctime>
#include <filesystem>
#include <map>
#include <optional>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "VelkCommon/VelkLog.h"
#include "support/ChildProcesses.h"
#include "support/LogLines.h"
#include "support/ScopedEnv.h"
#include "support/TempDir.h"
#include "support/TempHome.h"

namespace {

using velktest::debugLine;
using velktest::LogLine;
using velktest::LogLines;

namespace sample {
class Base {
 public:
  virtual ~Base() = default;
};
class Reader : public Base {};
template <class T>
class Holder {
 public:
  class Nested {};
};
}  // namespace sample

constexpr std::uintmax_t kRotateSize = 1U << 20U;

Logger reminderLog() { return VelkLog::getLogger(LogFilePrefix::VELK_UPDATE_REMINDER); }

// The current instant as "yyyy-MM-dd HH:mm:ss.SSS" in local time.
std::string localNow() {
  timespec now{};
  ::clock_gettime(CLOCK_REALTIME, &now);
  tm local{};
  ::localtime_r(&now.tv_sec, &local);
  std::array<char, 32> text{};
  const std::size_t length = std::strftime(text.data(), text.size(), "%Y-%m-%d %H:%M:%S", &local);
  return std::string(text.data(), length) + "." +
         std::to_string(1000 + now.tv_nsec / 1000000).substr(1);
}

// The lines of the old log files and the log, oldest first.
std::vector<LogLine> linesOfAllFiles(const std::string& logFile) {
  std::vector<LogLine> lines;
  for (int number = 3; number >= 0; --number) {
    const std::string path = number == 0 ? logFile : logFile + "." + std::to_string(number);
    for (LogLine& line : LogLines(path).newLines()) {
      lines.push_back(std::move(line));
    }
  }
  return lines;
}

TEST(VelkCommonLoggerTest, WritesOneLineInLocalTimeWithProcessAndThread) {
  const velktest::TempHome home;
  const sample::Reader reader;
  static const std::regex kLine(
      R"((\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2}\.\d{3}) DEBUG (\d+):(\d+) Reader\.read\(\) \| \*\*\* read\(\) START \*\*\* \n)");

  // Zones changed within one second still give each line its own zone's time.
  std::size_t seen = 0;
  for (const char* zone : {"UTC", "Asia/Tokyo", "America/New_York"}) {
    const velktest::ScopedEnv zoneVariable("TZ", zone);
    const std::string before = localNow();
    reminderLog().debug(" *** read() START *** ", &reader, "read()");
    const std::string after = localNow();

    const std::string text = velktest::readFileBytes(home.logFile()).substr(seen);
    seen += text.size();
    std::smatch match;
    ASSERT_TRUE(std::regex_match(text, match, kLine)) << zone << ": " << text;
    EXPECT_LE(before, match[1].str()) << zone;
    EXPECT_GE(after, match[1].str()) << zone;
    EXPECT_EQ(std::to_string(::getpid()), match[2].str());
    EXPECT_EQ(std::to_string(::gettid()), match[3].str());
  }

  // A forked child's lines carry the child's ids, not its parent's.
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    reminderLog().debug(" *** read() START *** ", &reader, "read()");
    ::_exit(0);
  }
  ASSERT_EQ(child, ::waitpid(child, nullptr, 0));
  const std::string text = velktest::readFileBytes(home.logFile()).substr(seen);
  std::smatch match;
  ASSERT_TRUE(std::regex_match(text, match, kLine)) << text;
  EXPECT_EQ(std::to_string(child), match[2].str());
  EXPECT_EQ(std::to_string(child), match[3].str());
}

TEST(VelkCommonLoggerTest, NamesTheCallersClassAndKeepsEachMessageOnOneLine) {
  const velktest::TempHome home;
  LogLines lines(home.logFile());
  const Logger log = reminderLog();
  const sample::Reader reader;
  const sample::Base* base = &reader;
  const std::string awkward = "one\ntwo\tthree\r\\four\\";

  log.debug(" *** saveFile() START *** ", base, "saveFile()");
  log.error(awkward, LogCaller::of<sample::Holder<std::pair<int, int>>::Nested>(), "load(name:)");
  log.fatal("令和7年3月31日", LogCaller::of<VelkLog>(), "getLogger(prefix:)");

  EXPECT_EQ(lines.newLines(),
            (std::vector<LogLine>{
                debugLine("Reader", "saveFile()", " *** saveFile() START *** "),
                velktest::errorLine("Nested", "load(name:)", awkward),
                velktest::fatalLine("VelkLog", "getLogger(prefix:)", "令和7年3月31日"),
            }));
  const std::string text = velktest::readFileBytes(home.logFile());
  EXPECT_EQ(3, std::count(text.begin(), text.end(), '\n'));
  EXPECT_NE(std::string::npos, text.find(R"( |one\ntwo\tthree\r\\four\\)"
                                         "\n"));
}

// Bytes that are not well-formed UTF-8 are written as \xNN, so that the file
// stays UTF-8; well-formed characters of every length stay as they are.
TEST(VelkCommonLoggerTest, WritesBytesThatAreNotUtf8AsHexEscapes) {
  const velktest::TempHome home;
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"/home/\xff/velk", R"(/home/\xFF/velk)"},
      {"\x80 stray, \xC3 cut", R"(\x80 stray, \xC3 cut)"},
      {"\xC0\xAF overlong", R"(\xC0\xAF overlong)"},
      {"\xED\xA0\x80 surrogate", R"(\xED\xA0\x80 surrogate)"},
      {"\xF4\x90\x80\x80 beyond", R"(\xF4\x90\x80\x80 beyond)"},
      {"\xE4\xBB", R"(\xE4\xBB)"},
      {"\xC2\xA9 \xE4\xBB\xA4 \xF0\x9F\x98\x80 \\x41",
       "\xC2\xA9 \xE4\xBB\xA4 \xF0\x9F\x98\x80 \\\\x41"},
  };
  LogLines lines(home.logFile());
  for (const auto& [message, written] : cases) {
    reminderLog().debug(message, LogCaller::of<VelkLog>(), "getLogger(prefix:)");
    const std::string text = velktest::readFileBytes(home.logFile());
    EXPECT_EQ(text.substr(text.rfind(" |") + 2), written + "\n") << written;
    EXPECT_EQ(lines.newLines(),
              (std::vector<LogLine>{debugLine("VelkLog", "getLogger(prefix:)", message)}));
  }
}

TEST(VelkCommonLoggerTest, FollowsTheStateFolderOfTheEnvironment) {
  const Logger log = reminderLog();  // fetched before any of the folders is set
  const sample::Reader reader;
  {
    const velktest::TempHome first;
    log.debug("first", &reader, "f()");
    {
      const velktest::TempHome second;
      log.debug("second", &reader, "f()");
      EXPECT_EQ(LogLines(second.logFile()).newLines(),
                std::vector<LogLine>{debugLine("Reader", "f()", "second")});
    }
    EXPECT_EQ(LogLines(first.logFile()).newLines(),
              std::vector<LogLine>{debugLine("Reader", "f()", "first")});
  }

  const velktest::TempDir homeFolder;
  const velktest::ScopedEnv homeVariable("HOME", homeFolder.path());
  for (const std::optional<std::string>& stateHome :
       {std::optional<std::string>(""), std::optional<std::string>()}) {
    const velktest::ScopedEnv stateVariable("XDG_STATE_HOME", stateHome);
    log.debug("under HOME", &reader, "f()");
    VelkLog::getLogger(LogFilePrefix::VELK_COMMON).debug("common", &reader, "f()");
  }
  const std::string logs = homeFolder.path() + "/.local/state/velk/logs/";
  EXPECT_EQ(LogLines(logs + "update-reminder.log").newLines(),
            std::vector<LogLine>(2, debugLine("Reader", "f()", "under HOME")));
  EXPECT_EQ(LogLines(logs + "velk-common.log").newLines(),
            std::vector<LogLine>(2, debugLine("Reader", "f()", "common")));
}

TEST(VelkCommonLoggerTest, ABrokenLogFolderCostsTheCallerNothing) {
  const sample::Reader reader;
  const velktest::TempDir dir;
  velktest::writeFileBytes(dir.file("plain-file"), "not a folder");
  std::filesystem::create_directories(dir.file("state/velk/logs/update-reminder.log"));
  testing::internal::CaptureStderr();
  for (const std::string& stateHome : {dir.file("plain-file"), dir.file("state")}) {
    const velktest::ScopedEnv stateVariable("XDG_STATE_HOME", stateHome);
    reminderLog().error("dropped", &reader, "f()");
  }
  EXPECT_EQ("", testing::internal::GetCapturedStderr());
  // A sound folder is written again at once.
  const velktest::TempHome home;
  reminderLog().debug("kept", &reader, "f()");
  EXPECT_EQ(LogLines(home.logFile()).newLines(),
            std::vector<LogLine>{debugLine("Reader", "f()", "kept")});
}

TEST(VelkCommonLoggerTest, RotatesAtOneMebibyteKeepingThreeOldFiles) {
  const velktest::TempHome home;
  const Logger log = reminderLog();
  const sample::Reader reader;
  const std::string padding(150, 'x');
  const int count = static_cast<int>(5 * kRotateSize / 200);  // about five files' worth
  for (int i = 0; i < count; ++i) {
    log.debug(std::to_string(i) + " " + padding, &reader, "f()");
  }

  for (const char* suffix : {".1", ".2", ".3"}) {
    const std::uintmax_t size = std::filesystem::file_size(home.logFile() + suffix);
    EXPECT_GE(size, kRotateSize) << suffix;
    EXPECT_LT(size, kRotateSize + 300) << suffix;  // the line that crossed the limit
  }
  EXPECT_FALSE(std::filesystem::exists(home.logFile() + ".4"));
  EXPECT_LT(std::filesystem::file_size(home.logFile()), kRotateSize);

  // What is kept is an unbroken run of the latest lines.
  const std::vector<LogLine> lines = linesOfAllFiles(home.logFile());
  ASSERT_FALSE(lines.empty());
  const int first = count - static_cast<int>(lines.size());
  EXPECT_GT(first, 0);
  for (std::size_t i = 0; i < lines.size(); ++i) {
    ASSERT_EQ(std::to_string(first + static_cast<int>(i)) + " " + padding, lines[i].message);
  }
}

TEST(VelkCommonLoggerTest, ProcessesAndThreadsLoggingAtOnceLoseAndTearNoLine) {
  constexpr int kProcesses = 4;
  constexpr int kThreads = 2;
  constexpr int kLinesPerThread = 1000;
  const velktest::TempHome home;
  const Logger log = reminderLog();
  const sample::Reader reader;
  const std::string padding(300, 'p');  // enough to rotate twice on the way
  // The children inherit the open log file as well as opening it anew.
  log.debug("parent", &reader, "f()");

  EXPECT_TRUE(velktest::runInChildren(kProcesses, [&](int process) {
    std::vector<std::thread> threads;
    threads.reserve(kThreads);
    for (int thread = 0; thread < kThreads; ++thread) {
      threads.emplace_back([&, thread] {
        for (int i = 0; i < kLinesPerThread; ++i) {
          std::ostringstream message;
          message << process << ' ' << thread << ' ' << i << ' ' << padding;
          log.debug(message.str(), &reader, "f()");
        }
      });
    }
    for (std::thread& thread : threads) {
      thread.join();
    }
    return true;
  }));

  const std::vector<LogLine> lines = linesOfAllFiles(home.logFile());
  ASSERT_EQ(1U + kProcesses * kThreads * kLinesPerThread, lines.size());
  std::map<std::pair<int, int>, int> next;  // (process, thread) -> expected line
  for (std::size_t i = 1; i < lines.size(); ++i) {
    std::istringstream message(lines[i].message);
    int process = -1;
    int thread = -1;
    int index = -1;
    std::string rest;
    message >> process >> thread >> index >> rest;
    ASSERT_EQ(padding, rest) << lines[i];
    ASSERT_EQ(next[std::make_pair(process, thread)]++, index) << lines[i];
  }
  for (const char* suffix : {".1", ".2"}) {
    const std::uintmax_t size = std::filesystem::file_size(home.logFile() + suffix);
    EXPECT_GE(size, kRotateSize) << suffix;
    EXPECT_LT(size, kRotateSize + std::uintmax_t{128} * 1024) << suffix;
  }
}

}  // namespace
