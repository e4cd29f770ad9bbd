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

  // A second thread's line carries its own id, and the first thread's keep
  // theirs once the process has more than one.
  pid_t secondThread = 0;
  std::thread([&] {
    secondThread = ::gettid();
    reminderLog().debug(" *** read() START *** ", &reader, "read()");
  }).join();
  reminderLog().debug(" *** read() START *** ", &reader, "read()");
  const std::string both = velktest::readFileBytes(home.logFile()).substr(seen);
  seen += both.size();
  const std::string secondThreadLine = both.substr(0, both.find('\n') + 1);
  const std::string firstThreadLine = both.substr(secondThreadLine.size());
  std::smatch second;
  std::smatch first;
  ASSERT_TRUE(std::regex_match(secondThreadLine, second, kLine)) << both;
  ASSERT_TRUE(std::regex_match(firstThreadLine, first, kLine)) << both;
  EXPECT_EQ(std::to_string(secondThread), second[3].str());
  EXPECT_EQ(std::to_string(::gettid()), first[3].str());

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

// The caller's class is named without namespaces or templates. Line breaks,
// tabs and backslashes are escaped so that each message stays on one line, and
// bytes that are not well-formed UTF-8 are written as \xNN so that the file
// stays UTF-8; well-formed characters of every length stay as they are.
TEST(VelkCommonLoggerTest, NamesTheCallerAndKeepsEachMessageOnOneUtf8Line) {
  const velktest::TempHome home;
  LogLines lines(home.logFile());
  const sample::Reader reader;
  const sample::Base* base = &reader;
  reminderLog().debug(" *** saveFile() START *** ", base, "saveFile()");
  reminderLog().error("x", LogCaller::of<sample::Holder<std::pair<int, int>>::Nested>(), "load()");
  EXPECT_EQ(lines.newLines(),
            (std::vector<LogLine>{debugLine("Reader", "saveFile()", " *** saveFile() START *** "),
                                  velktest::errorLine("Nested", "load()", "x")}));

  const std::vector<std::pair<std::string, std::string>> cases = {
      {"one\ntwo\tthree\r\\four\\", R"(one\ntwo\tthree\r\\four\\)"},
      {"/home/\xff/velk", R"(/home/\xFF/velk)"},
      {"\x80 stray, \xC3 cut", R"(\x80 stray, \xC3 cut)"},
      {"\xC0\xAF overlong", R"(\xC0\xAF overlong)"},
      {"\xED\xA0\x80 surrogate", R"(\xED\xA0\x80 surrogate)"},
      {"\xF4\x90\x80\x80 beyond", R"(\xF4\x90\x80\x80 beyond)"},
      {"\xE4\xBB", R"(\xE4\xBB)"},
      {"a\\b and c:\\d, then \x7F and \x1F after eight plain bytes",
       "a\\\\b and c:\\\\d, then \x7F and \\x1F after eight plain bytes"},
      {"\xC2\xA9 \xE4\xBB\xA4 \xF0\x9F\x98\x80 \\x41",
       "\xC2\xA9 \xE4\xBB\xA4 \xF0\x9F\x98\x80 \\\\x41"},
  };
  for (const auto& [message, written] : cases) {
    reminderLog().fatal(message, LogCaller::of<VelkLog>(), "getLogger(prefix:)");
    const std::string text = velktest::readFileBytes(home.logFile());
    EXPECT_EQ(text.substr(text.rfind(" |") + 2), written + "\n") << written;
    EXPECT_EQ(
        lines.newLines(),
        (std::vector<LogLine>{velktest::fatalLine("VelkLog", "getLogger(prefix:)", message)}));
  }
}

TEST(VelkCommonLoggerTest, WithoutAStateFolderLogsUnderHome) {
  const sample::Reader reader;
  const velktest::TempDir homeFolder;
  const velktest::ScopedEnv homeVariable("HOME", homeFolder.path());
  for (const std::optional<std::string>& stateHome :
       {std::optional<std::string>(""), std::optional<std::string>()}) {
    const velktest::ScopedEnv stateVariable("XDG_STATE_HOME", stateHome);
    reminderLog().debug("under HOME", &reader, "f()");
    VelkLog::getLogger(LogFilePrefix::VELK_COMMON).debug("common", &reader, "f()");
  }
  const std::string logs = homeFolder.path() + "/.local/state/velk/logs/";
  EXPECT_EQ(LogLines(logs + "update-reminder.log").newLines(),
            std::vector<LogLine>(2, debugLine("Reader", "f()", "under HOME")));
  EXPECT_EQ(LogLines(logs + "velk-0.log").newLines(),
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

// About five mebibytes from four processes of two threads each: the log rotates
// at one mebibyte keeping three old files, and what is kept is, for every
// thread still there, an unbroken run of its latest lines, none of them torn.
TEST(VelkCommonLoggerTest, RotatesUnderProcessesAndThreadsLoggingAtOnceTearingNoLine) {
  constexpr int kProcesses = 4;
  constexpr int kThreads = 2;
  constexpr int kLinesPerThread = 1000;
  const velktest::TempHome home;
  const Logger log = reminderLog();
  const sample::Reader reader;
  const std::string padding(600, 'p');
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

  std::map<std::pair<int, int>, int> next;  // (process, thread) -> expected line
  for (const LogLine& line : linesOfAllFiles(home.logFile())) {
    std::istringstream message(line.message);
    int process = -1;
    int thread = -1;
    int index = -1;
    std::string rest;
    message >> process >> thread >> index >> rest;
    ASSERT_EQ(padding, rest) << line;
    ASSERT_EQ(next.try_emplace(std::make_pair(process, thread), index).first->second++, index)
        << line;
  }
  EXPECT_GE(next.size(), 2U);
  for (const auto& [thread, end] : next) {
    EXPECT_EQ(end, kLinesPerThread) << thread.first << ' ' << thread.second;
  }
  for (const char* suffix : {".1", ".2", ".3"}) {
    const std::uintmax_t size = std::filesystem::file_size(home.logFile() + suffix);
    EXPECT_GE(size, kRotateSize) << suffix;
    EXPECT_EQ(std::filesystem::status(home.logFile() + suffix).permissions(),
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    // Each writer looks at the size every 64 lines, so each may add that much.
    EXPECT_LT(size, kRotateSize + std::uintmax_t{kProcesses} * 64 * 1024) << suffix;
  }
  EXPECT_FALSE(std::filesystem::exists(home.logFile() + ".4"));
  EXPECT_LT(std::filesystem::file_size(home.logFile()), kRotateSize);
}

}  // namespace
