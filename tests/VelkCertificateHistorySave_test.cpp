#include "VelkUpdateReminder/VelkCertificateHistorySave.h"

#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "VelkCommon/VelkLockController.h"
#include "VelkUpdateReminder/VelkCertificateHistoryFileController.h"
#include "foundation/Clock.h"
#include "CertificateFactory.h"
#include "support/ChildProcesses.h"
#include "support/LogLines.h"
#include "support/PermissionsEnforced.h"
#include "support/TempDir.h"
#include "support/TempHome.h"

namespace {

using namespace std::chrono;
using velktest::CertificateFactory;
using velktest::CertificateOptions;
using velktest::debugLine;
using velktest::errorLine;
using velktest::LogLine;
using velktest::readFileBytes;
using velktest::writeFileBytes;
using Bytes = std::vector<std::int8_t>;
using Lines = std::vector<LogLine>;

constexpr const char* kSave = "VelkCertificateHistorySave";
constexpr const char* kSaveOp = "saveFile(dcClass:dcInfo:)";
constexpr const char* kInfoOp = "getCertificateHistoryInfo(dcClass:dcInfo:)";
constexpr const char* kSaveEnd = " *** saveFile(dcClass:String ,dcInfo:[Int8])  END *** ";

LogLine saveDebug(const std::string& message) { return debugLine(kSave, kSaveOp, message); }
LogLine saveError(const std::string& message) { return errorLine(kSave, kSaveOp, message); }
LogLine infoDebug(const std::string& message) { return debugLine(kSave, kInfoOp, message); }
LogLine infoError(const std::string& message) { return errorLine(kSave, kInfoOp, message); }

LogLine startLine() {
  return saveDebug(" *** saveFile(dcClass:String ,dcInfo:[Int8])  START *** ");
}
LogLine endLine() { return saveDebug(kSaveEnd); }
LogLine infoStartLine() {
  return infoDebug(
      " *** getCertificateHistoryInfo(dcClass:String, dcInfo:[Int8]) -> "
      "VelkCertificateHistoryInfo?  START *** ");
}
LogLine infoEndLine() {
  return infoDebug(
      " *** getCertificateHistoryInfo(dcClass:String, dcInfo:[Int8]) -> "
      "VelkCertificateHistoryInfo?  END *** ");
}
LogLine dataReadErrorLine() { return saveError(" *** data read error *** "); }

// The lines of the recording's own class: START, the record being built and
// checked, then `tail`.
Lines builtThen(const Lines& tail) {
  Lines lines{startLine(), infoStartLine(), infoDebug(" *** self check OK! *** "), infoEndLine()};
  lines.insert(lines.end(), tail.begin(), tail.end());
  return lines;
}

// The lines of a recording whose record is refused with `why`.
Lines refusedWith(const Lines& why) {
  Lines lines{startLine(), infoStartLine()};
  lines.insert(lines.end(), why.begin(), why.end());
  lines.insert(lines.end(), {infoEndLine(), dataReadErrorLine(), endLine()});
  return lines;
}

// The new log lines written by the recording's own class.
Lines saveLines(velktest::LogLines& log) {
  Lines own;
  for (LogLine& line : log.newLines()) {
    if (line.className == kSave) {
      own.push_back(std::move(line));
    }
  }
  return own;
}

// An instant of local wall-clock time on `date`.
foundation::Date localTime(year_month_day date, int hour, int minute = 0, int second = 0) {
  return CertificateFactory::localNoon(date) + hours(hour - 12) + minutes(minute) + seconds(second);
}

// A certificate whose serial is `serial` and whose expiry falls on `day`.
Bytes certificate(std::vector<std::uint8_t> serial, year_month_day day) {
  return CertificateFactory::make(std::move(serial), CertificateFactory::localNoon(day)).der;
}

constexpr year_month_day kFar = 2040y / 6 / 1;

// Runs `work` while a child process holds the lock on `lockFile`, then lets
// the child go and waits for it.
void whileAnotherProcessHoldsTheLock(const std::string& lockFile,
                                     const std::function<void()>& work) {
  std::array<int, 2> ready{};
  std::array<int, 2> release{};
  ASSERT_EQ(::pipe(ready.data()), 0);
  ASSERT_EQ(::pipe(release.data()), 0);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::close(ready[0]);
    ::close(release[1]);
    const int fd = ::open(lockFile.c_str(), O_RDONLY | O_CREAT, 0644);
    const bool locked = fd >= 0 && ::flock(fd, LOCK_EX) == 0;
    const char state = locked ? 'y' : 'n';
    [[maybe_unused]] const ssize_t told = ::write(ready[1], &state, 1);
    char ignored = 0;
    while (::read(release[0], &ignored, 1) > 0) {
    }
    ::_exit(0);
  }
  ::close(ready[1]);
  ::close(release[0]);
  char state = 0;
  const bool gotState = ::read(ready[0], &state, 1) == 1;
  if (gotState && state == 'y') {
    work();
  } else {
    ADD_FAILURE() << "the child could not take the lock";
  }
  ::close(ready[0]);
  ::close(release[1]);
  int status = 0;
  ::waitpid(child, &status, 0);
}

bool lockIsFree(const std::string& lockFile) {
  VelkLockController probe(lockFile);
  return probe.lock(0);
}

TEST(VelkCertificateHistorySaveTest, FirstRecordingCreatesTheHistoryWithTheSettingOff) {
  velktest::TempHome home;
  velktest::LogLines log(home.logFile());
  const foundation::ScopedClock clock([] { return localTime(2030y / 5 / 1, 10, 20, 30); });

  VelkCertificateHistorySave::saveFile("A", certificate({0x12, 0x34}, kFar));

  EXPECT_EQ(readFileBytes(home.historyFile()), "0\nA,1234,2040-06-01,2030-05-01 10:20:30\n");
  EXPECT_EQ(saveLines(log), builtThen({endLine()}));
  EXPECT_TRUE(lockIsFree(home.lockFile()));
}

TEST(VelkCertificateHistorySaveTest, SameCertificateIsUpdatedInPlaceAndComesFirst) {
  velktest::TempHome home;
  foundation::Date now = localTime(2030y / 5 / 1, 9);
  const foundation::ScopedClock clock([&] { return now; });
  // A history with the reminder on, which recording keeps as it is.
  std::filesystem::create_directories(home.appDir());
  writeFileBytes(home.historyFile(),
                 "1\nS,0A,2031-01-01,2030-04-01 08:00:00\nA,0B,2032-02-02,2030-03-01 08:00:00\n");

  // The same class and serial: updated with the newer expiry and time.
  VelkCertificateHistorySave::saveFile("A", certificate({0x0B}, 2035y / 3 / 3));
  EXPECT_EQ(readFileBytes(home.historyFile()),
            "1\nA,0B,2035-03-03,2030-05-01 09:00:00\nS,0A,2031-01-01,2030-04-01 08:00:00\n");

  // The same serial with the other class is another certificate.
  now += minutes(1);
  VelkCertificateHistorySave::saveFile("S", certificate({0x0B}, 2036y / 4 / 4));
  EXPECT_EQ(readFileBytes(home.historyFile()),
            "1\nS,0B,2036-04-04,2030-05-01 09:01:00\nA,0B,2035-03-03,2030-05-01 09:00:00\n"
            "S,0A,2031-01-01,2030-04-01 08:00:00\n");
}

TEST(VelkCertificateHistorySaveTest, ElevenRecordsKeepTheTenMostRecent) {
  velktest::TempHome home;
  foundation::Date now = localTime(2030y / 5 / 1, 9);
  const foundation::ScopedClock clock([&] { return now; });
  std::string expected;
  for (int n = 1; n <= 11; ++n) {
    VelkCertificateHistorySave::saveFile("S", certificate({static_cast<std::uint8_t>(n)}, kFar));
    if (n > 1) {
      std::array<char, 64> line{};
      std::snprintf(line.data(), line.size(), "S,%02X,2040-06-01,2030-05-01 09:%02d:00\n", n,
                    n - 1);
      expected.insert(0, line.data());
    }
    now += minutes(1);
  }
  EXPECT_EQ(readFileBytes(home.historyFile()), "0\n" + expected);
}

TEST(VelkCertificateHistorySaveTest, ExpiredCertificatesLeaveInTheSameCallWhileExpiringTodayStays) {
  velktest::TempHome home;
  velktest::LogLines log(home.logFile());
  // The last second of 15 March: the whole day still counts as today.
  const foundation::ScopedClock clock([] { return localTime(2031y / 3 / 15, 23, 59, 59); });
  std::filesystem::create_directories(home.appDir());
  writeFileBytes(home.historyFile(),
                 "0\nA,01,2031-03-14,2031-01-01 00:00:00\nS,02,2031-03-15,2031-01-01 00:00:00\n"
                 "A,03,2020-01-01,2019-01-01 00:00:00\n");
  log.skip();

  VelkCertificateHistorySave::saveFile("A", certificate({0x04}, 2031y / 3 / 14));
  EXPECT_EQ(readFileBytes(home.historyFile()), "0\nS,02,2031-03-15,2031-01-01 00:00:00\n");
  EXPECT_EQ(saveLines(log), builtThen({endLine()}));

  VelkCertificateHistorySave::saveFile("S", certificate({0x05}, 2031y / 3 / 15));
  EXPECT_EQ(readFileBytes(home.historyFile()),
            "0\nS,05,2031-03-15,2031-03-15 23:59:59\nS,02,2031-03-15,2031-01-01 00:00:00\n");
}

TEST(VelkCertificateHistorySaveTest, RefusedRecordTouchesNoFileAndLogsWhy) {
  const Bytes good = certificate({0x01}, kFar);
  CertificateOptions unreadableExpiry;
  unreadableExpiry.rawNotAfter = "20501332000000Z";
  struct Case {
    std::string dcClass;
    Bytes der;
    Lines why;
  };
  const std::vector<Case> cases = {
      {"a", good, {infoError(" *** self check NG! *** ")}},
      {"AS", good, {infoError(" *** self check NG! *** ")}},
      {"", good, {infoError(" *** self check NG! *** ")}},
      {" S", good, {infoError(" *** self check NG! *** ")}},
      {"A",
       {},
       {infoError(" *** an exception occurred *** "),
        infoError("exception = empty certificate data at VelkX509Certificate(der:)")}},
      {"A",
       CertificateFactory::make(unreadableExpiry).der,
       {infoError(" *** getNotAfter() failed *** ")}},
  };
  for (const Case& c : cases) {
    velktest::TempHome home;
    velktest::LogLines log(home.logFile());
    VelkCertificateHistorySave::saveFile(c.dcClass, c.der);
    EXPECT_EQ(saveLines(log), refusedWith(c.why)) << "class '" << c.dcClass << "'";
    EXPECT_FALSE(std::filesystem::exists(home.appDir())) << "class '" << c.dcClass << "'";
  }

  // DER the parser cannot decode: its message and place go into the log.
  velktest::TempHome home;
  velktest::LogLines log(home.logFile());
  VelkCertificateHistorySave::saveFile("S", Bytes(good.begin(), good.begin() + 40));
  Lines lines = saveLines(log);
  ASSERT_EQ(lines.size(), 7U);
  const std::string message = lines[3].message;
  EXPECT_EQ(message.rfind("exception = cannot decode the certificate: ", 0), 0U) << message;
  EXPECT_TRUE(message.ends_with(" at VelkX509Certificate(der:)")) << message;
  lines[3].message = "exception = ...";
  EXPECT_EQ(lines, refusedWith({infoError(" *** an exception occurred *** "),
                                infoError("exception = ...")}));
  EXPECT_FALSE(std::filesystem::exists(home.appDir()));
}

TEST(VelkCertificateHistorySaveTest, LockHeldByAnotherProcessChangesNothing) {
  velktest::TempHome home;
  velktest::LogLines log(home.logFile());
  VelkCertificateHistorySave::saveFile("A", certificate({0x01}, kFar));
  const std::string before = readFileBytes(home.historyFile());
  log.skip();

  // The recording waits the full PROCCESS_LOCL_WAIT (10 s) before it gives up.
  whileAnotherProcessHoldsTheLock(home.lockFile(), [&] {
    VelkCertificateHistorySave::saveFile("A", certificate({0x02}, kFar));
  });

  EXPECT_EQ(saveLines(log), builtThen({saveError(" *** lock error *** "), endLine()}));
  EXPECT_EQ(readFileBytes(home.historyFile()), before);
}

TEST(VelkCertificateHistorySaveTest, FailedFileStepsReleaseTheLock) {
  namespace fs = std::filesystem;
  const Bytes der = certificate({0x02}, kFar);
  struct Case {
    std::string name;
    // Prepares the application directory; the history exists afterwards
    // only when the case needs it.
    std::function<void(const velktest::TempHome&)> prepare;
    LogLine failure;
  };
  const std::vector<Case> cases = {
      {"history not writable",
       [](const velktest::TempHome& home) {
         fs::permissions(home.historyFile(), fs::perms::owner_read | fs::perms::group_read);
       },
       saveDebug(" *** file write error *** ")},
      {"history not readable",
       [](const velktest::TempHome& home) { fs::permissions(home.historyFile(), fs::perms::none); },
       saveError(" *** readFile error : file read error *** ")},
      {"history missing, directory not writable",
       [](const velktest::TempHome& home) {
         fs::remove(home.historyFile());
         fs::permissions(home.appDir(), fs::perms::owner_read | fs::perms::owner_exec);
       },
       saveError(" *** createNewCertificateFile error : file write error *** ")},
  };
  for (const Case& c : cases) {
    velktest::TempHome home;
    velktest::LogLines log(home.logFile());
    VelkCertificateHistorySave::saveFile("A", certificate({0x01}, kFar));
    c.prepare(home);
    const bool hadHistory = fs::exists(home.historyFile());
    const std::string before = hadHistory ? readFileBytes(home.historyFile()) : "";
    log.skip();
    {
      // Tests run as root, which a chmod alone does not stop.
      const velktest::PermissionsEnforced enforced;
      VelkCertificateHistorySave::saveFile("A", der);
    }
    EXPECT_EQ(saveLines(log), builtThen({c.failure, endLine()})) << c.name;
    EXPECT_TRUE(lockIsFree(home.lockFile())) << c.name;
    EXPECT_EQ(fs::exists(home.historyFile()), hadHistory) << c.name;
    if (hadHistory) {
      fs::permissions(home.historyFile(), fs::perms::owner_read, fs::perm_options::add);
      EXPECT_EQ(readFileBytes(home.historyFile()), before) << c.name;
    }
  }
}

TEST(VelkCertificateHistorySaveTest, MalformedCertificatesAreRefusedWithoutHarm) {
  velktest::TempHome home;
  const velktest::MadeCertificate made =
      CertificateFactory::make({0x12, 0x34}, CertificateFactory::localNoon(kFar));
  std::vector<Bytes> inputs;
  for (std::size_t length = 0; length < made.der.size(); ++length) {
    inputs.emplace_back(made.der.begin(), made.der.begin() + static_cast<long>(length));
  }
  std::mt19937 random(20240607);
  for (int n = 0; n < 200; ++n) {
    Bytes noise(std::uniform_int_distribution<std::size_t>(1, 600)(random));
    for (std::int8_t& byte : noise) {
      byte = static_cast<std::int8_t>(random());
    }
    if (n % 2 == 0) {
      noise[0] = 0x30;  // looks like a SEQUENCE, so decoding goes further in
    }
    inputs.push_back(std::move(noise));
  }
  inputs.emplace_back(made.pem.begin(), made.pem.end());
  // Length fields that claim more than there is: the outer SEQUENCE's, and
  // the signed part's inside it.
  ASSERT_EQ(static_cast<std::uint8_t>(made.der[1]), 0x82);
  for (const std::size_t at : {std::size_t{2}, std::size_t{6}}) {
    Bytes tooLong = made.der;
    tooLong[at] = 0x7F;
    tooLong[at + 1] = static_cast<std::int8_t>(0xFF);
    inputs.push_back(std::move(tooLong));
  }

  velktest::LogLines log(home.logFile());
  for (const Bytes& input : inputs) {
    VelkCertificateHistorySave::saveFile("A", input);
  }
  std::size_t ends = 0;
  std::size_t refusals = 0;
  for (const LogLine& line : saveLines(log)) {
    ends += line == endLine() ? 1 : 0;
    refusals += line == dataReadErrorLine() ? 1 : 0;
  }
  EXPECT_EQ(ends, inputs.size());
  EXPECT_EQ(refusals, inputs.size());
  EXPECT_FALSE(std::filesystem::exists(home.historyFile()));
}

TEST(VelkCertificateHistorySaveTest, UnusualSerialsAndFarExpiriesAreRecorded) {
  velktest::TempHome home;
  const foundation::ScopedClock clock([] { return localTime(2030y / 5 / 1, 9); });
  const auto make = [](std::vector<std::uint8_t> serial, bool negative, sys_seconds notAfter) {
    CertificateOptions options;
    options.serial = std::move(serial);
    options.negativeSerial = negative;
    options.notAfter = notAfter;
    return CertificateFactory::make(options).der;
  };
  const auto noon = CertificateFactory::localNoon;
  VelkCertificateHistorySave::saveFile("A", make({}, false, noon(kFar)));
  VelkCertificateHistorySave::saveFile("A", make({0x01}, true, noon(kFar)));
  VelkCertificateHistorySave::saveFile("A", make({0x80}, false, noon(2049y / 12 / 31)));
  VelkCertificateHistorySave::saveFile("S", make({0x20, 0x49}, false, noon(2050y / 1 / 1)));
  VelkCertificateHistorySave::saveFile("S", make({0x99, 0x99}, false, noon(9999y / 12 / 31)));

  // All recorded in the same second, so they stay in the order they came.
  const std::string at = ",2030-05-01 09:00:00\n";
  EXPECT_EQ(readFileBytes(home.historyFile()), "0\nA,00,2040-06-01" + at + "A,FF,2040-06-01" + at +
                                                   "A,0080,2049-12-31" + at + "S,2049,2050-01-01" +
                                                   at + "S,009999,9999-12-31" + at);
}

TEST(VelkCertificateHistorySaveTest, ConcurrentRecordingsKeepTheHistoryConsistent) {
  velktest::TempHome home;
  constexpr int kProcesses = 4;
  constexpr int kEach = 50;
  std::vector<Bytes> certificates;
  certificates.reserve(std::size_t{kProcesses} * kEach);
  for (int n = 0; n < kProcesses * kEach; ++n) {
    certificates.push_back(certificate(
        {static_cast<std::uint8_t>(n >> 8), static_cast<std::uint8_t>(n & 0xFF)}, kFar));
  }

  // Every call logs into a file of its own, so that no line is lost to the
  // log's rotation and each call's END line can be found.
  const auto callLog = [&](int n) { return home.root() + "/call-" + std::to_string(n); };
  const bool allDone = velktest::runInChildren(kProcesses, [&](int process) {
    for (int i = 0; i < kEach; ++i) {
      const int n = process * kEach + i;
      // NOLINTNEXTLINE(concurrency-mt-unsafe): the child runs no other threads
      ::setenv("XDG_STATE_HOME", callLog(n).c_str(), 1);
      VelkCertificateHistorySave::saveFile(n % 3 == 0 ? "A" : "S", certificates[n]);
    }
    return true;
  });
  ASSERT_TRUE(allDone);

  // Each call ended once, and on its way met none of the recording's
  // failures (a lock error above all).
  const std::string end =
      std::string("VelkCertificateHistorySave.saveFile(dcClass:dcInfo:) |") + kSaveEnd;
  for (int n = 0; n < kProcesses * kEach; ++n) {
    std::istringstream text(readFileBytes(callLog(n) + "/velk/logs/update-reminder.log"));
    int ends = 0;
    for (std::string line; std::getline(text, line);) {
      ends += line.ends_with(end) ? 1 : 0;
      EXPECT_FALSE(line.find(" ERROR ") != std::string::npos &&
                   line.find(" VelkCertificateHistorySave.") != std::string::npos)
          << "call " << n << ": " << line;
    }
    EXPECT_EQ(ends, 1) << "call " << n;
  }

  // Every line of the history reads back as a record.
  const std::string history = readFileBytes(home.historyFile());
  VelkCertificateHistoryFileController controller;
  ASSERT_TRUE(controller.readFile(1000));
  const auto records = controller.getCertificateHistoryInfoList();
  EXPECT_EQ(records.size() + 1,
            static_cast<std::size_t>(std::count(history.begin(), history.end(), '\n')));
  EXPECT_LE(records.size(), 10U);
  EXPECT_FALSE(records.empty());
  std::set<std::string> certificatesSeen;
  for (const auto& record : records) {
    EXPECT_TRUE(certificatesSeen.insert(record->getDcClass() + record->getSerialNumber()).second)
        << record->getDcClass() << " " << record->getSerialNumber();
  }
}

}  // namespace
