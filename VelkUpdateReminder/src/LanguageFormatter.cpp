#include "LanguageFormatter.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "foundation/EnvironmentSnapshot.h"
#include "foundation/Locale.h"

const foundation::DateFormatter& LanguageFormatter::forPattern(std::string_view pattern) {
  struct Kept {
    std::string pattern;
    std::optional<std::string> language;  // none until the formatter is made
    foundation::DateFormatter formatter;
  };
  // A job uses two patterns.
  thread_local std::vector<Kept> kept;
  // The language is asked again only when the environment, from which it
  // comes, has changed.
  thread_local std::uint64_t languageVersion = 0;
  thread_local std::string language;
  if (const std::uint64_t version = foundation::EnvironmentSnapshot::version();
      version != languageVersion) {
    const std::vector<std::string> languages = foundation::Locale::preferredLanguages();
    language = languages.empty() ? std::string() : languages.front();
    languageVersion = version;
  }
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
