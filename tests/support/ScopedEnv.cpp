#include "support/ScopedEnv.h"

#include <cstdlib>
#include <ctime>
#include <utility>

namespace velktest {

namespace {

void setOrUnset(const std::string& name, const std::optional<std::string>& value) {
  // NOLINTBEGIN(concurrency-mt-unsafe): tests change the environment on one thread
  if (value) {
    ::setenv(name.c_str(), value->c_str(), 1);
  } else {
    ::unsetenv(name.c_str());
  }
  if (name == "TZ") {
    ::tzset();
  }
  // NOLINTEND(concurrency-mt-unsafe)
}

}  // namespace

ScopedEnv::ScopedEnv(std::string name, const std::optional<std::string>& value)
    : name_(std::move(name)) {
  if (const char* old = std::getenv(name_.c_str())) {  // NOLINT(concurrency-mt-unsafe)
    previous_ = old;
  }
  setOrUnset(name_, value);
}

ScopedEnv::~ScopedEnv() { setOrUnset(name_, previous_); }

}  // namespace velktest
