#include "foundation/EnvironmentSnapshot.h"

#include <unistd.h>

#include <atomic>
#include <cstring>

namespace foundation {

namespace {

// Changes seen by any thread; a thread that sees one counts it, so that a
// change seen by several threads is counted more than once, which only
// makes callers work a value out again.
std::atomic<std::uint64_t> changes{1};

}  // namespace

bool EnvironmentSnapshot::changed() noexcept {
  char** const array = environ;
  // A shorter array at the same place still has the room the longer one had
  // (setenv() and unsetenv() never shrink it), so comparing the kept count
  // of entries reads nothing outside it.
  if (count_ != 0 && array == array_ && array != nullptr &&
      std::memcmp(array, entries_.data(), count_ * sizeof(char*)) == 0) {
    return false;
  }
  array_ = array;
  count_ = 0;
  std::size_t count = 0;
  while (array != nullptr && count < kKeptEntries && array[count] != nullptr) {
    entries_[count] = array[count];
    ++count;
  }
  if (array != nullptr && count < kKeptEntries) {
    entries_[count] = nullptr;
    count_ = count + 1;
  }
  return true;
}

std::uint64_t EnvironmentSnapshot::version() {
  // Per thread, so that no lock is taken; trivially destructible, so that no
  // guard is checked. (No initial-exec model: a host may load the framework
  // with dlopen(), where the static TLS block has no room for it.)
  thread_local EnvironmentSnapshot seen;
  if (seen.changed()) {
    return changes.fetch_add(1, std::memory_order_relaxed) + 1;
  }
  return changes.load(std::memory_order_relaxed);
}

}  // namespace foundation
