#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "foundation/Locale.h"
#include "support/ScopedEnv.h"

namespace {

using Strings = std::vector<std::string>;

// The preferred languages with the four variables set as given.
Strings languages(const std::optional<std::string>& language, const std::optional<std::string>& all,
                  const std::optional<std::string>& messages,
                  const std::optional<std::string>& lang) {
  const velktest::ScopedEnv e1("LANGUAGE", language);
  const velktest::ScopedEnv e2("LC_ALL", all);
  const velktest::ScopedEnv e3("LC_MESSAGES", messages);
  const velktest::ScopedEnv e4("LANG", lang);
  return foundation::Locale::preferredLanguages();
}

// The first variable set names the language; none, C or POSIX give English.
TEST(Locale, PreferredLanguageComesFromTheFirstVariableSet) {
  const auto none = std::nullopt;
  EXPECT_EQ(languages("ja_JP:en_US", "de_DE.UTF-8", none, "fr_FR"), Strings{"ja-JP"});
  EXPECT_EQ(languages(none, "ja_JP.UTF-8", "de_DE", "fr_FR"), Strings{"ja-JP"});
  EXPECT_EQ(languages("", "", "de_DE@euro", "fr_FR"), Strings{"de-DE"});
  EXPECT_EQ(languages(none, none, none, "ja_JP.eucJP"), Strings{"ja-JP"});
  EXPECT_EQ(languages(none, none, none, "ja"), Strings{"ja"});
  EXPECT_EQ(languages(none, none, none, none), Strings{"en-US"});
  EXPECT_EQ(languages(none, "C", none, "ja_JP.UTF-8"), Strings{"en-US"});
  EXPECT_EQ(languages(none, none, "POSIX", none), Strings{"en-US"});
  EXPECT_EQ(languages(none, none, none, "C.UTF-8"), Strings{"en-US"});
  EXPECT_EQ(languages(none, none, none, "/etc/bad"), Strings{"en-US"});
}

}  // namespace
