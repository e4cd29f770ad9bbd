#include "XdgDirectory.h"

#include <pwd.h>
#include <unistd.h>

#include <array>
#include <cstdlib>

std::string xdgBaseDirectory(const char* variable, std::string_view fallback) {
  const char* value = std::getenv(variable);  // NOLINT(concurrency-mt-unsafe)
  std::string base = value != nullptr ? value : "";
  if (base.empty()) {
    const char* home = std::getenv("HOME");  // NOLINT(concurrency-mt-unsafe)
    std::array<char, 16384> buffer{};
    passwd entry{};
    passwd* user = nullptr;
    if (home == nullptr || *home == '\0') {
      ::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &user);
    }
    base = user != nullptr && user->pw_dir != nullptr ? user->pw_dir : home != nullptr ? home : "";
    base += (base.ends_with('/') ? "" : "/") + std::string(fallback);
  }
  while (base.size() > 1 && base.back() == '/') {
    base.pop_back();
  }
  return base;
}
