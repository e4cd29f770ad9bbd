#include "XdgDirectory.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

namespace {

// The value of an environment variable, or "" when it is unset.
std::string environment(const char* name) {
  const char* value = std::getenv(name);  // NOLINT(concurrency-mt-unsafe)
  return value == nullptr ? std::string() : std::string(value);
}

// $HOME, or the home folder of the user's password entry; "" when neither
// is known.
std::string homeDirectory() {
  std::string home = environment("HOME");
  if (!home.empty()) {
    return home;
  }
  std::vector<char> buffer(16384);
  passwd entry{};
  passwd* found = nullptr;
  if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 &&
      found != nullptr && found->pw_dir != nullptr) {
    home = found->pw_dir;
  }
  return home;
}

}  // namespace

std::string xdgBaseDirectory(const char* variable, std::string_view fallback) {
  std::string base = environment(variable);
  if (base.empty()) {
    base = homeDirectory();
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
