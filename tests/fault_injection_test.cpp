// Faults from outside the program: processes killed while they record or show
// the reminder, a full disk and a file size limit during the write, and
// history and lock files that are symbolic links or directories. Each checks
// what the next recording finds: the lock free at once and a history that
// reads back.

#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "CertificateFactory.h"
#include "VelkCommon/VelkLockController.h"
#include "VelkUpdateReminder/VelkCertificateHistoryFileController.h"
#include "VelkUpdateReminder/VelkCertificateHistoryInfo.h"
#include "VelkUpdateReminder/VelkCertificateHistorySave.h"
#include "VelkUpdateReminder/VelkUpdateReminderCommon.h"
#include "support/HostProcess.h"
#include "support/LockHolder.h"
#include "support/LogLines.h"
#include "support/Records.h"
#include "support/TempDir.h"
#include "support/TempHome.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono;
using testing::AllOf;
using testing::Contains;
using testing::Field;
using testing::HasSubstr;
using velktest::CertificateFactory;
using velktest::lockIsFree;
using velktest::LogLine;
using velktest::readFileBytes;
using Bytes = std::vector<std::int8_t>;

constexpr const char* kSave = "VelkCertificateHistorySave";
constexpr const char* kSaveOp = "saveFile(dcClass:dcInfo:)";

Bytes certificate(std::uint8_t serial, int days) {
  return CertificateFactory::make({0x5A, serial}, CertificateFactory::daysFromToday(days)).der;
}

// The time one recording takes from the call to its return, in milliseconds.
double timedRecording(const Bytes& der) {
  const auto start = steady_clock::now();
  VelkCertificateHistorySave::saveFile("A", der);
  return duration<double, std::milli>(steady_clock::now() - start).count();
}

// The serial numbers of the records a fresh controller reads from the
// history, sorted (recordings within one second keep no order); false when
// the read fails.
bool readBack(std::vector<std::string>& serials) {
  VelkCertificateHistoryFileController controller;
  if (!controller.readFile(100)) {
    return false;
  }
  serials = velktest::serialsOf(controller.getCertificateHistoryInfoList());
  std::sort(serials.begin(), serials.end());
  return true;
}

// Kills `child` with SIGKILL and reaps it.
void killAndReap(pid_t child) {
  ::kill(child, SIGKILL);
  int status = 0;
  ::waitpid(child, &status, 0);
}

TEST(FaultInjectionTest, LockHolderKilledInsideARecordingLeavesTheLockFree) {
  velktest::TempHome home;
  VelkCertificateHistorySave::saveFile("A", certificate(0x01, 400));
  std::array<int, 2> ready{};
  ASSERT_EQ(::pipe(ready.data()), 0);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    // What a recording holds between its read and its write.
    VelkCertificateHistoryFileController controller;
    const bool held = controller.lock(VelkUpdateReminderCommon::PROCCESS_LOCL_WAIT) &&
                      controller.readFile(VelkUpdateReminderCommon::HISTORY_MAX_COUNT);
    const char state = held ? 'y' : 'n';
    [[maybe_unused]] const ssize_t told = ::write(ready[1], &state, 1);
    ::pause();
    ::_exit(0);
  }
  ::close(ready[1]);
  char state = 0;
  ASSERT_EQ(::read(ready[0], &state, 1), 1);
  ::close(ready[0]);
  ASSERT_EQ(state, 'y');
  EXPECT_FALSE(lockIsFree(home.lockFile()));
  killAndReap(child);

  const double ms = timedRecording(certificate(0x02, 400));
  std::printf("lock holder killed inside a recording: next recording took %.1f ms\n", ms);
  EXPECT_LT(ms, VelkUpdateReminderCommon::PROCCESS_LOCL_WAIT / 10.0);
  std::vector<std::string> serials;
  ASSERT_TRUE(readBack(serials));
  EXPECT_EQ(serials, (std::vector<std::string>{"5A01", "5A02"}));
  EXPECT_TRUE(lockIsFree(home.lockFile()));
}

TEST(FaultInjectionTest, ReminderKilledWhileItsWindowIsUpLeavesTheLockFree) {
  velktest::TempHome home;
  velktest::TempDir files;
  VelkCertificateHistorySave::saveFile("A", certificate(0x03, 20));
  {
    VelkCertificateHistoryFileController controller;
    ASSERT_TRUE(controller.readFile(VelkUpdateReminderCommon::HISTORY_MAX_COUNT));
    controller.setUpdateSetting(true);
    ASSERT_TRUE(controller.saveFile());
  }
  const std::string before = readFileBytes(home.historyFile());

  // velk-host remind with the text window and an input that stays open and
  // silent: the window waits for a key until it is killed.
  std::array<int, 2> input{};
  ASSERT_EQ(::pipe(input.data()), 0);
  const std::string outPath = files.file("stdout");
  const pid_t child =
      velktest::startVelkHost({"remind", "--ui", "text"}, input[0], outPath, files.file("stderr"));
  ASSERT_GT(child, 0);
  ::close(input[0]);
  bool shown = false;
  for (int i = 0; i < 200 && !shown; ++i) {
    std::this_thread::sleep_for(50ms);
    shown = fs::exists(outPath) && readFileBytes(outPath).find("5A03") != std::string::npos;
  }
  killAndReap(child);
  ::close(input[1]);
  ASSERT_TRUE(shown) << "the window did not show the record: " << readFileBytes(outPath);

  EXPECT_TRUE(lockIsFree(home.lockFile()));
  EXPECT_EQ(readFileBytes(home.historyFile()), before) << "the window closed by no one";
  const double ms = timedRecording(certificate(0x04, 400));
  std::printf("reminder killed with its window up: next recording took %.1f ms\n", ms);
  EXPECT_LT(ms, VelkUpdateReminderCommon::PROCCESS_LOCL_WAIT / 10.0);
  std::vector<std::string> serials;
  ASSERT_TRUE(readBack(serials));
  EXPECT_EQ(serials, (std::vector<std::string>{"5A03", "5A04"}));
}

// What the history held after a recording was killed.
enum class Outcome { kMissing, kUnchanged, kEmptied, kComplete, kTorn };

const char* nameOf(Outcome outcome) {
  switch (outcome) {
    case Outcome::kMissing:
      return "missing";
    case Outcome::kUnchanged:
      return "the same bytes as before (killed before the write, or rewritten alike)";
    case Outcome::kEmptied:
      return "emptied (kill inside the write: truncated, text not yet written)";
    case Outcome::kComplete:
      return "changed and whole";
    case Outcome::kTorn:
      return "torn (kill inside the write: part of the text)";
  }
  return "";
}

// Whether `bytes` is a whole history file: the setting line and record lines
// that all read as records, each ending in a line feed.
bool isWholeHistory(const std::string& bytes) {
  if (bytes.empty() || bytes.back() != '\n' ||
      (bytes.rfind("0\n", 0) != 0 && bytes.rfind("1\n", 0) != 0)) {
    return false;
  }
  VelkCertificateHistoryFileController controller;
  for (std::size_t start = 2; start < bytes.size();) {
    const std::size_t end = bytes.find('\n', start);
    if (!controller.readExpirationInfo(bytes.substr(start, end - start))) {
      return false;
    }
    start = end + 1;
  }
  return true;
}

TEST(FaultInjectionTest, RecordingsKilledAtRandomMomentsNeverLeaveTheLockHeld) {
  velktest::TempHome home;
  std::vector<Bytes> pool;
  for (std::uint8_t serial = 0x10; serial < 0x1C; ++serial) {
    pool.push_back(certificate(serial, 400 + serial));
  }
  const auto runChild = [&](int index) {
    const pid_t child = ::fork();
    if (child == 0) {
      VelkCertificateHistorySave::saveFile("A",
                                           pool[static_cast<std::size_t>(index) % pool.size()]);
      ::_exit(0);
    }
    return child;
  };

  // How long a whole recording in a child takes, fork to exit.
  const auto start = steady_clock::now();
  constexpr int kCalibration = 5;
  for (int i = 0; i < kCalibration; ++i) {
    const pid_t child = runChild(i);
    ASSERT_GT(child, 0);
    int status = 0;
    ::waitpid(child, &status, 0);
  }
  const auto whole = duration_cast<microseconds>(steady_clock::now() - start) / kCalibration;

  const unsigned seed = std::random_device{}();
  std::mt19937 random(seed);
  std::uniform_int_distribution<std::int64_t> delay(0, whole.count() * 5 / 4);
  constexpr int kRuns = 300;
  int killed = 0;
  int lockLeftHeld = 0;
  int unreadable = 0;
  std::map<Outcome, int> outcomes;
  std::string lastTorn;
  for (int run = 0; run < kRuns; ++run) {
    const std::string before =
        fs::exists(home.historyFile()) ? readFileBytes(home.historyFile()) : "";
    const pid_t child = runChild(run);
    ASSERT_GT(child, 0);
    std::this_thread::sleep_for(microseconds(delay(random)));
    ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);
    killed += WIFSIGNALED(status) ? 1 : 0;

    lockLeftHeld += lockIsFree(home.lockFile()) ? 0 : 1;
    std::vector<std::string> serials;
    unreadable += readBack(serials) ? 0 : 1;
    Outcome outcome = Outcome::kMissing;
    if (fs::exists(home.historyFile())) {
      const std::string after = readFileBytes(home.historyFile());
      if (after == before) {
        outcome = Outcome::kUnchanged;
      } else if (after.empty()) {
        outcome = Outcome::kEmptied;
      } else if (isWholeHistory(after)) {
        outcome = Outcome::kComplete;
      } else {
        outcome = Outcome::kTorn;
        lastTorn = after;
      }
    }
    ++outcomes[outcome];
  }

  std::printf(
      "kill loop: %d runs (seed %u, kill within %lld us, a whole recording %lld us), "
      "%d killed before they ended; lock left held %d, history unreadable %d\n",
      kRuns, seed, static_cast<long long>(delay.max()), static_cast<long long>(whole.count()),
      killed, lockLeftHeld, unreadable);
  for (const auto& [outcome, count] : outcomes) {
    std::printf("kill loop: history %s: %d\n", nameOf(outcome), count);
  }
  if (!lastTorn.empty()) {
    std::printf("kill loop: last torn history: %s\n", lastTorn.c_str());
  }
  EXPECT_EQ(lockLeftHeld, 0);
  EXPECT_EQ(unreadable, 0);
  EXPECT_GT(killed, 0) << "no kill landed before a recording ended";
}

// A tmpfs of `size` mounted on a fresh `folder` for the object's lifetime;
// mounted() is false where mounting is not allowed.
class ScopedTmpfs {
 public:
  ScopedTmpfs(const std::string& folder, const std::string& size) : folder_(folder) {
    fs::create_directories(folder);
    const std::string options = "size=" + size;
    mounted_ = ::mount("tmpfs", folder.c_str(), "tmpfs", 0, options.c_str()) == 0;
  }
  ~ScopedTmpfs() {
    if (mounted_) {
      ::umount2(folder_.c_str(), MNT_DETACH);
    }
  }
  ScopedTmpfs(const ScopedTmpfs&) = delete;
  ScopedTmpfs& operator=(const ScopedTmpfs&) = delete;

  bool mounted() const { return mounted_; }

 private:
  std::string folder_;
  bool mounted_ = false;
};

// Writes into `path` until the file system is full; false when something
// other than a full disk stops it.
bool fillUp(const std::string& path) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) {
    return false;
  }
  const std::string block(4096, 'x');
  ssize_t put = 0;
  while ((put = ::write(fd, block.data(), block.size())) > 0) {
  }
  const bool full = put < 0 && errno == ENOSPC;
  ::close(fd);
  return full;
}

TEST(FaultInjectionTest, FullDiskFailsTheWriteWithItsLinesAndFreesTheLock) {
  velktest::TempHome home;
  const ScopedTmpfs disk(home.appDir(), "64k");
  if (!disk.mounted()) {
    GTEST_SKIP() << "mounting a tmpfs is not allowed here; the file size limit test still runs";
  }
  const std::string filler = home.appDir() + "/filler";
  ASSERT_TRUE(fillUp(filler));
  velktest::LogLines log(home.logFile());
  log.skip();

  // No history yet: creating it fails; the empty history it left reads as
  // no records, and writing the record into it fails the same way.
  VelkCertificateHistorySave::saveFile("A", certificate(0x20, 400));
  EXPECT_THAT(log.newLines(),
              Contains(velktest::errorLine(
                  kSave, kSaveOp, " *** createNewCertificateFile error : file write error *** ")));
  ASSERT_EQ(readFileBytes(home.historyFile()), "");
  VelkCertificateHistorySave::saveFile("A", certificate(0x21, 400));
  const std::vector<LogLine> lines = log.newLines();
  EXPECT_THAT(lines,
              Contains(AllOf(Field(&LogLine::operation, "saveFile()"),
                             Field(&LogLine::message, HasSubstr("No space left on device")))));
  EXPECT_THAT(lines, Contains(velktest::debugLine(kSave, kSaveOp, " *** file write error *** ")));
  EXPECT_TRUE(lockIsFree(home.lockFile()));
  EXPECT_EQ(readFileBytes(home.historyFile()), "");

  // Space again: the next recording writes the history whole.
  fs::remove(filler);
  VelkCertificateHistorySave::saveFile("A", certificate(0x22, 400));
  std::vector<std::string> serials;
  ASSERT_TRUE(readBack(serials));
  EXPECT_EQ(serials, (std::vector<std::string>{"5A22"}));
}

TEST(FaultInjectionTest, FileSizeLimitTearsTheInPlaceWriteWhichStillReadsBack) {
  velktest::TempHome home;
  VelkCertificateHistorySave::saveFile("A", certificate(0x30, 400));
  const std::string before = readFileBytes(home.historyFile());
  const Bytes der = certificate(0x31, 400);

  // In a child whose files may not grow past the history's present size,
  // the longer text of the next save stops there.
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{before.size(), before.size()};
    if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) {
      ::_exit(2);
    }
    VelkCertificateHistoryFileController controller;
    if (!controller.lock(0) || !controller.readFile(VelkUpdateReminderCommon::HISTORY_MAX_COUNT)) {
      ::_exit(3);
    }
    auto info = std::make_shared<VelkCertificateHistoryInfo>();
    info->setDcClass("A");
    info->setSerialNumber("5A31");
    info->setNotAfter("2099-01-01");
    info->setOpenTime("2030-01-01 00:00:00");
    controller.addCirtificateFile(info);
    const bool saved = controller.saveFile();
    controller.unlock();
    // The recording, under the same limit, reports the failed write and
    // lets the lock go.
    VelkCertificateHistorySave::saveFile("A", der);
    ::_exit(!saved && lockIsFree(home.lockFile()) ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "saveFile() did not fail or the lock stayed held";

  // The file holds as many bytes of the recording's text as the limit let
  // through: the setting and the first record line of the same length as
  // before, the second record cut off entirely. One record reads back; the
  // other is lost, since the write is in place.
  const std::string after = readFileBytes(home.historyFile());
  EXPECT_EQ(after.size(), before.size());
  std::vector<std::string> serials;
  ASSERT_TRUE(readBack(serials));
  EXPECT_EQ(serials.size(), 1U);
  EXPECT_TRUE(lockIsFree(home.lockFile()));
}

TEST(FaultInjectionTest, SymlinkedHistoryAndLockFilesAreFollowed) {
  velktest::TempHome home;
  velktest::TempDir elsewhere;
  fs::create_directories(home.appDir());
  const std::string history = elsewhere.file("history");
  const std::string lock = elsewhere.file("lock");
  // Both links dangle at first: the recording creates the files they name.
  fs::create_symlink(history, home.historyFile());
  fs::create_symlink(lock, home.lockFile());
  VelkCertificateHistorySave::saveFile("A", certificate(0x50, 400));
  ASSERT_TRUE(fs::exists(history));
  EXPECT_TRUE(fs::exists(lock));
  VelkCertificateHistorySave::saveFile("A", certificate(0x51, 400));

  EXPECT_TRUE(fs::is_symlink(home.historyFile()));
  EXPECT_TRUE(fs::is_symlink(home.lockFile()));
  std::vector<std::string> serials;
  ASSERT_TRUE(readBack(serials));
  EXPECT_EQ(serials, (std::vector<std::string>{"5A50", "5A51"}));

  // The lock taken through the link is the lock of the file it names.
  VelkLockController throughLink(home.lockFile());
  ASSERT_TRUE(throughLink.lock(0));
  EXPECT_FALSE(lockIsFree(lock));
  throughLink.unlock();
  EXPECT_TRUE(lockIsFree(lock));
}

}  // namespace
