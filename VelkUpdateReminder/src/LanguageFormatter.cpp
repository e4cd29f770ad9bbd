#include "LanguageFormatter.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "foundation/EnvironmentSnapshot.h"
#include "foundation/Locale.h"

const foundation::DateFormatter& LanguageFormatter::forPattern(std::string_view pattern) {
  struct Formatter {
    std::string pattern;
    foundation::DateFormatter formatter;
  };
  // What the calling thread keeps: the formatters of one language (a job
  // uses two patterns), and the environment's version they were made in.
  // The language comes from the environment, so it is asked again only when
  // that has changed.
  struct Kept {
    std::uint64_t environmentVersion = 0;
    std::string language;
    std::vector<Formatter> formatters;
  };
  thread_local Kept kept;
  if (const std::uint64_t version = foundation::EnvironmentSnapshot::version();
      version != kept.environmentVersion) {
    const std::vector<std::string> languages = foundation::Locale::preferredLanguages();
    std::string language = languages.empty() ? std::string() : languages.front();
    if (language != kept.language) {
      kept.language = std::move(language);
      kept.formatters.clear();
    }
    kept.environmentVersion = version;
  }
  for (Formatter& candidate : kept.formatters) {
    if (candidate.pattern == pattern) {
      return candidate.formatter;
    }
  }
  Formatter& made = kept.formatters.emplace_back();
  made.pattern = std::string(pattern);
  made.formatter.setDateFormat(std::string(pattern));
  if (!kept.language.empty()) {
    made.formatter.setLocale(foundation::Locale(kept.language));
  }
  return made.formatter;
}
