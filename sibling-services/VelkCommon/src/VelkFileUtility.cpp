#include "VelkCommon/VelkFileUtility.h"

#include <cstdlib>
#include <string>

namespace {

// The value of an environment variable, or "" when it is unset.
std::string environment(const char* name) {
  const char* value = std::getenv(name);  // NOLINT(concurrency-mt-unsafe)
  return value == nullptr ? std::string() : std::string(value);
}

}  // namespace

VelkPath VelkFileUtility::getVelkDirectory(bool hasSlash) {
  std::string base = environment("XDG_DATA_HOME");
  if (base.empty()) {
    base = environment("HOME") + "/.local/share";
  }
  while (base.size() > 1 && base.back() == '/') {
    base.pop_back();
  }
  return VelkPath(base).append("velk", hasSlash);
}
