#include "foundation/Locale.h"

#include <cstdlib>
#include <mutex>
#include <string_view>
#include <utility>

#include "foundation/EnvironmentSnapshot.h"

namespace foundation {

namespace {

constexpr const char* kDefaultLanguage = "en-US";

// The value of an environment variable, empty when unset.
std::string_view environment(const char* name) {
  const char* value = std::getenv(name);  // NOLINT(concurrency-mt-unsafe)
  return value != nullptr ? std::string_view(value) : std::string_view();
}

bool isIdentifierChar(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' ||
         c == '-';
}

// A POSIX locale name such as "ja_JP.UTF-8" or "de_DE@euro" as a language
// identifier ("ja-JP", "de-DE"); "en-US" for "C", "POSIX" and names that
// are not locale names.
std::string languageIdentifier(std::string_view locale) {
  locale = locale.substr(0, locale.find_first_of(".@"));
  if (locale.empty() || locale == "C" || locale == "POSIX") {
    return kDefaultLanguage;
  }
  std::string identifier;
  for (const char c : locale) {
    if (!isIdentifierChar(c)) {
      return kDefaultLanguage;
    }
    identifier += c == '_' ? '-' : c;
  }
  return identifier;
}

// The first preferred language as the environment gives it now.
std::string firstPreferredLanguage() {
  const std::string_view languages = environment("LANGUAGE");
  const std::string_view first = languages.substr(0, languages.find(':'));
  if (!first.empty()) {
    return languageIdentifier(first);
  }
  for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    if (const std::string_view locale = environment(name); !locale.empty()) {
      return languageIdentifier(locale);
    }
  }
  return kDefaultLanguage;
}

}  // namespace

Locale::Locale(std::string identifier) : identifier_(std::move(identifier)) {}

const std::string& Locale::identifier() const { return identifier_; }

std::vector<std::string> Locale::preferredLanguages() {
  // Kept while the environment is unchanged: dates are parsed and written
  // with the preferred language's locale many times per job.
  static std::mutex mutex;
  static std::uint64_t version = 0;
  static std::string language;
  const std::lock_guard<std::mutex> guard(mutex);
  if (const std::uint64_t now = EnvironmentSnapshot::version(); now != version) {
    language = firstPreferredLanguage();
    version = now;
  }
  return {language};
}

}  // namespace foundation
