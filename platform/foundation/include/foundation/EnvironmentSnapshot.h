#pragma once

#include <cstdint>

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
  EnvironmentSnapshot() = delete;

  // A number that stays the same while the environment does, and changes
  // when it changes; never 0. Safe to call from several threads, but, as
  // getenv(), not while another thread changes the environment.
  static std::uint64_t version();
};

}  // namespace foundation
