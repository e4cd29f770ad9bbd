#pragma once

#include <unistd.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "foundation/FoundationExport.h"

namespace foundation {

// Tells cheaply whether the environment has changed, so that values worked
// out from environment variables can be kept until it does: comparing the
// environment's array of entries with a copy of it costs far less than the
// getenv() searches it saves. setenv(), unsetenv() and putenv() replace an
// entry's pointer, add or remove one, or move the array. (A string handed to
// putenv() and then changed in place is not noticed.)
class VELKFOUNDATION_EXPORT EnvironmentSnapshot {
 public:
  // Whether the environment differs from what the previous call saw (true
  // at the first call); remembers it as it is now. For one owner at a time:
  // as getenv(), not while another thread changes the environment.
  bool changed() noexcept {
    if (unchanged()) {
      return false;
    }
    remember(environ);
    return true;
  }

  // Whether the environment is as the previous changed() saw it (false
  // before the first); remembers nothing.
  bool unchanged() const noexcept {
    // A shorter array at the same place still has the room the longer one
    // had (setenv() and unsetenv() never shrink it), so comparing the kept
    // count of entries reads nothing outside it.
    char** const array = environ;
    return count_ != 0 && array == array_ &&
           std::memcmp(array, entries_.data(), count_ * sizeof(char*)) == 0;
  }

  // A number that stays the same while the environment does, and changes
  // when it changes; never 0. Safe to call from several threads (each keeps
  // a snapshot of its own), but, as getenv(), not while another thread
  // changes the environment.
  static std::uint64_t version();

 private:
  // Keeps `array` and its entries as they are now.
  void remember(char** array) noexcept;

  // Environments with more entries than this are taken as changed on every
  // call: correct, only slower.
  static constexpr std::size_t kKeptEntries = 256;

  char** array_ = nullptr;
  std::size_t count_ = 0;  // entries kept, the closing nullptr included; 0: none
  std::array<char*, kKeptEntries> entries_{};
};

}  // namespace foundation
