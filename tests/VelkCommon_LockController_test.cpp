#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "VelkCommon/VelkLockController.h"
#include "support/ChildProcesses.h"
#include "support/LockHolder.h"
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
  velktest::LockHolder holder(lockFile());
  ASSERT_TRUE(holder.holding());
  VelkLockController controller(lockFile());
  constexpr auto kWait = milliseconds(300);
  const Clock::time_point start = Clock::now();
  EXPECT_FALSE(controller.lock(kWait.count()));
  const auto waited = Clock::now() - start;
  EXPECT_GE(waited, kWait);
  EXPECT_LT(waited, kWait + std::chrono::seconds(2));
  controller.unlock();  // after a failed lock, as callers do
  holder.kill();
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
