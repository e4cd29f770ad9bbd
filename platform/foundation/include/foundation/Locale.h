#pragma once

#include <string>
#include <vector>

#include "foundation/FoundationExport.h"

namespace foundation {

// A locale named by a language identifier such as "ja-JP".
class VELKFOUNDATION_EXPORT Locale {
 public:
  explicit Locale(std::string identifier) : identifier_(std::move(identifier)) {}

  // The user's preferred languages, most preferred first, from LANGUAGE
  // (first entry), else LC_ALL, LC_MESSAGES, LANG: "ja_JP.UTF-8" gives
  // "ja-JP"; none, "C" or "POSIX" gives "en-US". Never empty.
  static std::vector<std::string> preferredLanguages();

 private:
  std::string identifier_;
};

}  // namespace foundation
