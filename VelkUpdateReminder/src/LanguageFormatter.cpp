#include "LanguageFormatter.h"

#include <utility>

#include "foundation/Locale.h"

foundation::DateFormatter languageFormatter(std::string pattern) {
  foundation::DateFormatter formatter;
  formatter.setDateFormat(std::move(pattern));
  formatter.setLocale(foundation::Locale(foundation::Locale::preferredLanguages().front()));
  return formatter;
}
