#include "LanguageFormatter.h"

#include <optional>
#include <string>
#include <vector>

#include "foundation/Locale.h"

const foundation::DateFormatter& LanguageFormatter::forPattern(std::string_view pattern) {
  struct Kept {
    std::string pattern;
    std::optional<std::string> language;  // none until the formatter is made
    foundation::DateFormatter formatter;
  };
  // A job uses two patterns.
  thread_local std::vector<Kept> kept;
  const std::vector<std::string> languages = foundation::Locale::preferredLanguages();
  static const std::string kNone;
  const std::string& language = languages.empty() ? kNone : languages.front();
  Kept* entry = nullptr;
  for (Kept& candidate : kept) {
    if (candidate.pattern == pattern) {
      entry = &candidate;
      break;
    }
  }
  if (entry == nullptr) {
    entry = &kept.emplace_back();
    entry->pattern = std::string(pattern);
  }
  if (entry->language != language) {
    entry->language = language;
    entry->formatter = foundation::DateFormatter();
    entry->formatter.setDateFormat(std::string(pattern));
    if (!language.empty()) {
      entry->formatter.setLocale(foundation::Locale(language));
    }
  }
  return entry->formatter;
}
