#include "EnvironmentSnapshot.h"

#include <unistd.h>

#include <mutex>
#include <vector>

namespace foundation {

std::uint64_t EnvironmentSnapshot::version() {
  static std::mutex mutex;
  static char** array = nullptr;
  // The entries' pointers as they were, ending in nullptr; empty at first.
  static std::vector<char*> entries;
  static std::uint64_t count = 0;
  const std::lock_guard<std::mutex> guard(mutex);
  bool same = !entries.empty() && environ == array && environ != nullptr;
  // Stops at the first difference, so a shorter array is never read past its
  // end.
  for (std::size_t i = 0; same && i < entries.size(); ++i) {
    same = environ[i] == entries[i];
  }
  if (!same) {
    array = environ;
    entries.clear();
    for (char** entry = environ; entry != nullptr && *entry != nullptr; ++entry) {
      entries.push_back(*entry);
    }
    entries.push_back(nullptr);
    ++count;
  }
  return count;
}

}  // namespace foundation
