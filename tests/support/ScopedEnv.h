#pragma once

#include <optional>
#include <string>

namespace velktest {

// Sets (or, with no value, unsets) an environment variable for its lifetime
// and restores the previous state afterwards.
class ScopedEnv {
 public:
  ScopedEnv(std::string name, const std::optional<std::string>& value);
  ~ScopedEnv();
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  std::string name_;
  std::optional<std::string> previous_;
};

}  // namespace velktest
