#pragma once

#include <string_view>

#include "foundation/DateFormatter.h"

// The date formatters of the user's first preferred language, one per
// pattern. Each thread keeps its own and makes them again when the preferred
// language changes, so that the many dates a job parses and writes cost no
// formatter set-up each.
class LanguageFormatter {
 public:
  LanguageFormatter() = delete;

  // The formatter with `pattern` and the locale of the first preferred
  // language (the platform's default locale when there is none). Valid until
  // the calling thread's next call.
  static const foundation::DateFormatter& forPattern(std::string_view pattern);
};
