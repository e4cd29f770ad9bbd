#include "foundation/EnvironmentSnapshot.h"

#include <unistd.h>

#include <array>
#include <atomic>
#include <cstddef>
#include <cstring>

namespace foundation {

namespace {

// Environments with more entries than this are taken as changed on every
// call: correct, only slower.
constexpr std::size_t kKeptEntries = 256;

// What the calling thread saw of the environment at its last call.
struct Seen {
  char** array;
  std::size_t count;  // entries kept, the closing nullptr included; 0: none
  std::array<char*, kKeptEntries> entries;
};

// Per thread, so that no lock is taken; trivial, so that no guard is checked.
// (No initial-exec model: a host may load the framework with dlopen(), where
// the static TLS block has no room for it.)
thread_local Seen seen;

// Changes seen by any thread; a thread that sees one counts it, so that a
// change seen by several threads is counted more than once, which only
// makes callers work a value out again.
std::atomic<std::uint64_t> changes{1};

}  // namespace

std::uint64_t EnvironmentSnapshot::version() {
  char** const array = environ;
  // A shorter array at the same place still has the room the longer one had
  // (setenv() and unsetenv() never shrink it), so comparing the kept count
  // of entries reads nothing outside it.
  if (seen.count != 0 && array == seen.array && array != nullptr &&
      std::memcmp(array, seen.entries.data(), seen.count * sizeof(char*)) == 0) {
    return changes.load(std::memory_order_relaxed);
  }
  seen.array = array;
  seen.count = 0;
  std::size_t count = 0;
  while (array != nullptr && count < kKeptEntries && array[count] != nullptr) {
    seen.entries[count] = array[count];
    ++count;
  }
  if (array != nullptr && count < kKeptEntries) {
    seen.entries[count] = nullptr;
    seen.count = count + 1;
  }
  return changes.fetch_add(1, std::memory_order_relaxed) + 1;
}

}  // namespace foundation
