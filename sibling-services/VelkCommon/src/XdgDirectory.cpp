#include "XdgDirectory.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

std::string xdgBaseDirectory(const char* variable, std::string_view fallback) {
  const char* value = std::getenv(variable);  // NOLINT(concurrency-mt-unsafe)
  std::string base = value != nullptr ? value : "";
  if (base.empty()) {
    const char* home = std::getenv("HOME");  // NOLINT(concurrency-mt-unsafe)
    base = home != nullptr ? home : "";
    if (base.empty()) {
      std::vector<char> buffer(16384);
      passwd entry{};
      passwd* found = nullptr;
      if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 &&
          found != nullptr && found->pw_dir != nullptr) {
        base = found->pw_dir;
      }
    }
    if (base.empty() || base.back() != '/') {
      base += '/';
    }
    base += fallback;
  }
  while (base.size() > 1 && base.back() == '/') {
    base.pop_back();
  }
  return base;
}
