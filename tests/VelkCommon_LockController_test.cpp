#include <gtest/gtest.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "VelkCommon/VelkLockController.h"
#include "support/ChildProcesses.h"
#include "support/TempDir.h"
#include "support/TempHome.h"

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// A lock file in a fresh application directory.
class VelkCommonLockControllerTest : public testing::Test {
 protected:
  VelkCommonLockControllerTest() { std::filesystem::create_directories(home_.appDir()); }

  std::string lockFile() const { return home_.lockFile(); }

 private:
  velktest::TempHome home_;
};

int readCounter(const std::string& path) {
  std::ifstream in(path);
  int value = 0;
  in >> value;
  return value;
}

void writeCounter(const std::string& path, int value) {
  std::ofstream(path, std::ios::trunc) << value;
}

// Kills and reaps a child process when the test leaves early.
struct ChildKiller {
  pid_t pid;
  ~ChildKiller() {
    if (pid > 0) {
      ::kill(pid, SIGKILL);
      ::waitpid(pid, nullptr, 0);
    }
  }
};

TEST_F(VelkCommonLockControllerTest, ProcessesCountingUnderTheLockLoseNoIncrement) {
  const std::string counter = lockFile() + ".counter";
  writeCounter(counter, 0);

  EXPECT_TRUE(velktest::runInChildren(4, [&](int /*index*/) {
    VelkLockController controller(lockFile());
    for (int i = 0; i < 500; ++i) {
      if (!controller.lock(10000)) {
        return false;
      }
      const int value = readCounter(counter);
      std::this_thread::yield();  // invite the others in, if the lock let them
      writeCounter(counter, value + 1);
      controller.unlock();
    }
    return true;
  }));
  EXPECT_EQ(2000, readCounter(counter));
}

TEST_F(VelkCommonLockControllerTest, ControllersInTwoThreadsExcludeEachOther) {
  std::atomic<int> inside{0};
  std::atomic<bool> overlapped{false};
  std::atomic<int> failedLocks{0};
  auto work = [&] {
    VelkLockController controller(lockFile());
    for (int i = 0; i < 200; ++i) {
      if (!controller.lock(10000)) {
        ++failedLocks;
        continue;
      }
      if (++inside != 1) {
        overlapped = true;
      }
      std::this_thread::sleep_for(std::chrono::microseconds(50));
      --inside;
      controller.unlock();
    }
  };
  std::thread first(work);
  std::thread second(work);
  first.join();
  second.join();
  EXPECT_FALSE(overlapped);
  EXPECT_EQ(0, failedLocks);
}

TEST_F(VelkCommonLockControllerTest, WaitsForAnotherProcessAndIsFreedWhenItIsKilled) {
  std::array<int, 2> ready{};
  ASSERT_EQ(0, ::pipe(ready.data()));
  const pid_t holder = ::fork();
  ASSERT_GE(holder, 0);
  if (holder == 0) {
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    VelkLockController controller(lockFile());
    const char state = controller.lock(0) ? 'y' : 'n';
    (void)::write(ready[1], &state, 1);
    for (;;) {
      ::pause();
    }
  }
  ChildKiller killer{holder};
  ::close(ready[1]);
  char state = 0;
  ASSERT_EQ(1, ::read(ready[0], &state, 1));
  ::close(ready[0]);
  ASSERT_EQ('y', state);

  VelkLockController controller(lockFile());
  constexpr auto kWait = milliseconds(300);
  const Clock::time_point start = Clock::now();
  EXPECT_FALSE(controller.lock(kWait.count()));
  const auto waited = Clock::now() - start;
  EXPECT_GE(waited, kWait);
  EXPECT_LT(waited, kWait + std::chrono::seconds(2));
  controller.unlock();  // after a failed lock, as callers do

  ASSERT_EQ(0, ::kill(holder, SIGKILL));
  ASSERT_EQ(holder, ::waitpid(holder, nullptr, 0));
  killer.pid = -1;
  EXPECT_TRUE(controller.lock(0));
}

TEST_F(VelkCommonLockControllerTest, UnlockWithoutTheLockDoesNothingAndTheDestructorReleases) {
  VelkLockController first(lockFile());
  first.unlock();  // never locked
  EXPECT_TRUE(first.lock(0));
  EXPECT_TRUE(first.lock(0));  // already held
  {
    VelkLockController other(lockFile());
    EXPECT_FALSE(other.lock(0));
    other.unlock();  // lock not obtained
  }
  first.unlock();
  first.unlock();  // twice in a row
  {
    VelkLockController other(lockFile());
    EXPECT_TRUE(other.lock(0));
  }  // released here
  EXPECT_TRUE(first.lock(0));
}

TEST(VelkCommonLockControllerFolderTest, ALockFileWhoseFolderCannotBeMadeIsNotLocked) {
  const velktest::TempDir dir;
  velktest::writeFileBytes(dir.file("plain-file"), "not a folder");
  VelkLockController missingFolder(dir.file("missing/lockfile"));
  VelkLockController underAFile(dir.file("plain-file/lockfile"));
  EXPECT_FALSE(missingFolder.lock(0));
  EXPECT_FALSE(underAFile.lock(100));
  EXPECT_FALSE(std::filesystem::exists(dir.file("missing")));

  // Once the folder is there, the same controller locks.
  std::filesystem::create_directories(dir.file("missing"));
  EXPECT_TRUE(missingFolder.lock(0));
}

}  // namespace
