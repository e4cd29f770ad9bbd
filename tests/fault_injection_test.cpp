// Faults from outside the program: recordings killed at random moments,
// allocations that fail, and a huge history. Each checks that the lock is
// free afterwards and what the history holds.

#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <new>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "CertificateFactory.h"
#include "VelkCommon/FileDescriptor.h"
#include "VelkUpdateReminder/VelkCertificateHistoryFileController.h"
#include "VelkUpdateReminder/VelkCertificateHistorySave.h"
#include "VelkUpdateReminder/VelkUpdateReminderDialog.h"
#include "support/LockHolder.h"
#include "support/LogLines.h"
#include "support/Records.h"
#include "support/TempDir.h"
#include "support/TempHome.h"
#include "support/TextScreen.h"

// Running out of memory on demand: while `failingAllocation` is 0 or more,
// it counts the allocations down and the one at 0 throws std::bad_alloc.
// NOLINTNEXTLINE(cppcoreguidelines-avoid-non-const-global-variables)
std::int64_t failingAllocation = -1;

// NOLINTBEGIN(cppcoreguidelines-no-malloc,cppcoreguidelines-owning-memory)
void* operator new(std::size_t size) {
  if (failingAllocation >= 0 && failingAllocation-- == 0) {
    throw std::bad_alloc();
  }
  if (void* memory = std::malloc(size == 0 ? 1 : size)) {
    return memory;
  }
  throw std::bad_alloc();
}
void* operator new(std::size_t size, const std::nothrow_t& /*tag*/) noexcept {
  try {
    return operator new(size);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}
void* operator new[](std::size_t size) { return operator new(size); }
// GCC takes memory from the operators new above for malloc's own and warns.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t /*size*/) noexcept { std::free(memory); }
void operator delete[](void* memory) noexcept { std::free(memory); }
void operator delete[](void* memory, std::size_t /*size*/) noexcept { std::free(memory); }
#pragma GCC diagnostic pop
// NOLINTEND(cppcoreguidelines-no-malloc,cppcoreguidelines-owning-memory)

namespace {

namespace fs = std::filesystem;
using namespace std::chrono;
using velktest::CertificateFactory;
using velktest::lockIsFree;
using velktest::LogLine;
using velktest::readFileBytes;
using velktest::writeFileBytes;
using Bytes = std::vector<std::int8_t>;

Bytes certificate(std::uint8_t serial, int days) {
  return CertificateFactory::make({0x5A, serial}, CertificateFactory::daysFromToday(days)).der;
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

// Whether the history file, which holds `bytes`, is whole: the setting "1"
// and `lines` - 1 record lines that all read back, each ending in a line feed.
bool isWholeHistory(const std::string& bytes, std::size_t lines) {
  std::vector<std::string> serials;
  return bytes.starts_with("1\n") && bytes.ends_with('\n') &&
         static_cast<std::size_t>(std::count(bytes.begin(), bytes.end(), '\n')) == lines &&
         readBack(serials) && serials.size() == lines - 1;
}

// Kills recordings of `der` at random moments, each over the history
// `before`, until `kills` of them died before they ended. Each history left
// behind must keep the setting "1" and the records `kept` (sorted); a whole
// one has `wholeLines` lines.
void killLoop(const char* kind, const std::string& before, const Bytes& der,
              const std::vector<std::string>& kept, std::size_t wholeLines, int kills) {
  velktest::TempHome home;
  fs::create_directories(home.appDir());
  const auto runChild = [&] {
    const pid_t child = ::fork();
    if (child == 0) {
      VelkCertificateHistorySave::saveFile("A", der);
      ::_exit(0);
    }
    return child;
  };
  // How long a whole recording in a child takes, fork to exit: the median of
  // a few, as other work on the machine slows some down.
  std::array<microseconds, 9> times{};
  for (microseconds& time : times) {
    writeFileBytes(home.historyFile(), before);
    const auto start = steady_clock::now();
    int status = 0;
    ASSERT_GT(::waitpid(runChild(), &status, 0), 0);
    time = duration_cast<microseconds>(steady_clock::now() - start);
  }
  std::nth_element(times.begin(), times.begin() + times.size() / 2, times.end());
  const unsigned seed = std::random_device{}();
  std::mt19937 random(seed);
  std::uniform_int_distribution<std::int64_t> delay(0, times[times.size() / 2].count());

  int runs = 0;
  int killed = 0;
  std::map<std::string, int> counts;  // outcomes of kills, and failures
  for (; killed < kills && runs < kills * 10; ++runs) {
    writeFileBytes(home.historyFile(), before);
    const pid_t child = runChild();
    ASSERT_GT(child, 0);
    std::this_thread::sleep_for(microseconds(delay(random)));
    ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);
    const std::string after = readFileBytes(home.historyFile());
    if (!WIFSIGNALED(status)) {
      // A recording that ended left the new text alone.
      counts["ended but not whole"] += isWholeHistory(after, wholeLines) ? 0 : 1;
      continue;
    }
    ++killed;
    counts["lock left held"] += lockIsFree(home.lockFile()) ? 0 : 1;
    std::vector<std::string> serials;
    const bool allKept = readBack(serials) && after.rfind("1\n", 0) == 0 &&
                         std::includes(serials.begin(), serials.end(), kept.begin(), kept.end());
    ++counts[after == before                      ? "unchanged"
             : after.empty()                      ? "emptied"
             : !allKept                           ? "records lost"
             : !isWholeHistory(after, wholeLines) ? "stray tail"
                                                  : "whole"];
  }
  std::printf(
      "kill loop, write that %s the file: %d kills of %d recordings (seed %u, within %lld us)",
      kind, killed, runs, seed, static_cast<long long>(delay.max()));
  for (const char* name : {"unchanged", "emptied", "records lost", "stray tail", "whole",
                           "lock left held", "ended but not whole"}) {
    std::printf("; %s %d", name, counts[name]);
  }
  std::printf("\n");
  EXPECT_EQ(killed, kills) << kind;
  for (const char* failure : {"emptied", "records lost", "lock left held", "ended but not whole"}) {
    EXPECT_EQ(counts[failure], 0) << kind << ": " << failure;
  }
}

// Recordings killed at random moments never empty the history nor lose a
// record, whether the new text is longer (a certificate joins) or shorter
// (expired records go). VELK_KILL_LOOP_KILLS sets the kills per kind.
TEST(FaultInjectionTest, RecordingsKilledAtRandomMomentsLoseNothing) {
  const char* configured = std::getenv("VELK_KILL_LOOP_KILLS");  // NOLINT(concurrency-mt-unsafe)
  const int kills = configured != nullptr ? std::atoi(configured) : 100;
  const std::string valid = velktest::recordLine("A", "5A10", "2099-01-01") +
                            velktest::recordLine("A", "5A11", "2099-01-01") +
                            velktest::recordLine("A", "5A12", "2099-01-01");
  const std::vector<std::string> kept = {"5A10", "5A11", "5A12"};
  killLoop("grows", "1\n" + valid, certificate(0x13, 400), kept, 5, kills);
  std::string expired;
  for (const char* serial : {"5A20", "5A21", "5A22", "5A23"}) {
    expired += velktest::recordLine("A", serial, "2000-01-01");
  }
  killLoop("shrinks", "1\n" + valid + expired, certificate(0x10, 400), kept, 4, kills);
}

// Each allocation of a recording and of a whole reminder (window shown and
// closed, history written) in turn fails: nothing escapes either entry
// point, and the lock is free afterwards every time.
TEST(FaultInjectionTest, NoAllocationFailureEscapesTheEntryPoints) {
  velktest::TempHome home;
  velktest::TextScreen screen;
  const Bytes der = certificate(0x70, 30);
  VelkCertificateHistorySave::saveFile("A", der);
  const std::string history = "1" + readFileBytes(home.historyFile()).substr(1);
  const auto dialog = std::make_shared<VelkUpdateReminderDialog>(std::nullopt, nullptr);
  // What each entry point needs before it runs, and the entry point.
  const std::array<std::pair<std::function<void()>, std::function<void()>>, 2> entryPoints = {{
      {[] {}, [&] { VelkCertificateHistorySave::saveFile("A", der); }},
      {[&] {
         writeFileBytes(home.historyFile(), history);
         screen.type("click\n");
       },
       [&] { dialog->alert(); }},
  }};
  for (const auto& [prepare, entryPoint] : entryPoints) {
    std::int64_t failed = 0;
    for (bool done = false; !done; ++failed) {
      prepare();
      failingAllocation = failed;
      EXPECT_NO_THROW(entryPoint()) << "allocation " << failed;
      done = failingAllocation >= 0;  // the call ended before that allocation
      failingAllocation = -1;
      ASSERT_TRUE(lockIsFree(home.lockFile())) << "allocation " << failed;
    }
    EXPECT_GT(failed, 10);
    std::printf("%s: each of its %lld allocations failed in turn\n",
                &prepare == &entryPoints.front().first ? "recording" : "reminder",
                static_cast<long long>(failed - 1));
  }
  // The last reminder ran whole: it showed the certificate, then removed it.
  EXPECT_NE(screen.output().find("5A70"), std::string::npos);
  EXPECT_EQ(readFileBytes(home.historyFile()), "1\n");
}

// A sparse history of 64 GiB, far beyond any history and any memory, is
// refused unread by both entry points with the read error lines.
TEST(FaultInjectionTest, HugeSparseHistoryIsRefusedUnreadByBothEntryPoints) {
  velktest::TempHome home;
  velktest::LogLines log(home.logFile());
  fs::create_directories(home.appDir());
  constexpr off_t kSize = off_t{64} << 30;
  {
    const FileDescriptor file(::open(home.historyFile().c_str(), O_WRONLY | O_CREAT, 0644));
    ASSERT_EQ(::ftruncate(file.get(), kSize), 0);
  }
  struct stat before = {};
  ASSERT_EQ(::stat(home.historyFile().c_str(), &before), 0);
  const std::array<std::function<void()>, 2> entryPoints = {
      [] { VelkCertificateHistorySave::saveFile("A", certificate(0x60, 400)); },
      [] { std::make_shared<VelkUpdateReminderDialog>(std::nullopt, nullptr)->alert(); }};
  for (const auto& entryPoint : entryPoints) {
    entryPoint();
    const std::vector<LogLine> lines = log.newLines();
    for (const std::string& message :
         {" *** caught an exception (" + home.historyFile() +
              ": larger than a history can be (over 1048576 bytes)) *** ",
          std::string(" String(contentsOfFile: self.filepathHist, encoding: .utf8) error")}) {
      EXPECT_THAT(lines,
                  testing::Contains(velktest::errorLine("VelkCertificateHistoryFileController",
                                                        "readFile(varidReadRowCount:)", message)));
    }
    EXPECT_TRUE(lockIsFree(home.lockFile()));
    struct stat after = {};
    ASSERT_EQ(::stat(home.historyFile().c_str(), &after), 0);
    EXPECT_EQ(after.st_size, kSize);
    EXPECT_EQ(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec);
    EXPECT_EQ(after.st_mtim.tv_sec, before.st_mtim.tv_sec);
  }
}

}  // namespace
