#pragma once

#include <optional>
#include <string>

#include "foundation/Date.h"
#include "foundation/FoundationExport.h"
#include "foundation/Locale.h"

namespace foundation {

// Formats and parses dates with one of two patterns, "yyyy-MM-dd" and
// "yyyy-MM-dd HH:mm:ss", in Gregorian fields and the system time zone. The
// locale changes nothing for these numeric patterns.
class VELKFOUNDATION_EXPORT DateFormatter {
 public:
  void setDateFormat(std::string pattern) { pattern_ = std::move(pattern); }
  void setLocale(Locale locale) { locale_ = std::move(locale); }

  // The date rendered with the pattern, fields zero-padded to 4 and 2 digits.
  // "" for a pattern other than the two above.
  std::string string(const Date& date) const;

  // The date a text names under the pattern. The whole text must match:
  // literal separators exactly, 1 to 4 digits for the year and 1 or 2 for the
  // other fields, each in its range (no year 0, month 13, 30 February or hour
  // 24). Fields the pattern lacks are zero. No date when the text does not
  // match.
  std::optional<Date> date(const std::string& text) const;

 private:
  std::string pattern_;
  std::optional<Locale> locale_;
};

}  // namespace foundation
