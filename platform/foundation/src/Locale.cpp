#include "foundation/Locale.h"

#include <cctype>
#include <cstdlib>
#include <string_view>

namespace foundation {

namespace {

constexpr const char* kDefaultLanguage = "en-US";

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
    if (std::isalnum(static_cast<unsigned char>(c)) == 0 && c != '_' && c != '-') {
      return kDefaultLanguage;
    }
    identifier += c == '_' ? '-' : c;
  }
  return identifier;
}

}  // namespace

std::vector<std::string> Locale::preferredLanguages() {
  for (const char* name : {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* value = std::getenv(name);  // NOLINT(concurrency-mt-unsafe)
    std::string_view text = value != nullptr ? value : "";
    // LANGUAGE lists languages separated by colons; the first one counts.
    if (name == std::string_view("LANGUAGE")) {
      text = text.substr(0, text.find(':'));
    }
    if (!text.empty()) {
      return {languageIdentifier(text)};
    }
  }
  return {kDefaultLanguage};
}

}  // namespace foundation
