#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
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

TEST_F(VelkCommonLockControllerTest, ProcessesCountingUnderTheLockLoseNoIncrement) {
  const std::string counter = lockFile() + ".counter";
  velktest::writeFileBytes(counter, "0");

  EXPECT_TRUE(velktest::runInChildren(4, [&](int /*index*/) {
    VelkLockController controller(lockFile());
    for (int i = 0; i < 500; ++i) {
      if (!controller.lock(10000)) {
        return false;
      }
      const int value = std::stoi(velktest::readFileBytes(counter));
      std::this_thread::yield();  // invite the others in, if the lock let them
      velktest::writeFileBytes(counter, std::to_string(value + 1));
      controller.unlock();
    }
    return true;
  }));
  EXPECT_EQ("2000", velktest::readFileBytes(counter));
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

// Two controllers of one process exclude each other as well.
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
