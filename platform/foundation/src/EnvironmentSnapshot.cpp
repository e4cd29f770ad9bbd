#include "foundation/EnvironmentSnapshot.h"

#include <atomic>

namespace foundation {

namespace {

// Changes seen by any thread; a thread that sees one counts it, so that a
// change seen by several threads is counted more than once, which only
// makes callers work a value out again.
std::atomic<std::uint64_t> changes{1};

}  // namespace

void EnvironmentSnapshot::remember(char** array) noexcept {
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
