#include <gtest/gtest.h>
#include <pwd.h>
#include <unistd.h>

#include <optional>
#include <string>
#include <vector>

#include "VelkCommon/VelkFileUtility.h"
#include "VelkCommon/VelkString.h"
#include "support/ScopedEnv.h"

namespace {

using velktest::ScopedEnv;

TEST(VelkCommonUtilityTest, SubstringCountsCodePointsAndClampsTheRange) {
  EXPECT_EQ("03", substring("2025-03-31", 5, 7));
  EXPECT_EQ("7年3", substring("令和7年3月31日", 2, 5));
  EXPECT_EQ("😀b", substring("a😀b", 1, 3));
  EXPECT_EQ("31", substring("2025-03-31", 8, 100));
  EXPECT_EQ("令和", substring("令和", -5, 2));
  EXPECT_EQ("", substring("令和", 2, 4));
  EXPECT_EQ("", substring("2025", 3, 1));
  EXPECT_EQ("", substring("", 0, 4));
  // Stray continuation bytes join the character before them, or none.
  EXPECT_EQ("1", substring(std::string("\xb1") + "12", 0, 1));
  EXPECT_EQ("2\x80", substring(std::string("12\x80") + "3", 1, 2));
}

TEST(VelkCommonUtilityTest, ApplicationDirectoryComesFromXdgDataHomeElseHome) {
  const ScopedEnv home("HOME", "/home/someone");
  {
    const ScopedEnv data("XDG_DATA_HOME", "/tmp/data/");
    EXPECT_EQ("/tmp/data/velk/", VelkFileUtility::getVelkDirectory(true).toString());
    EXPECT_EQ("/tmp/data/velk", VelkFileUtility::getVelkDirectory(false).toString());
  }
  for (const std::optional<std::string>& data :
       {std::optional<std::string>(""), std::optional<std::string>()}) {
    const ScopedEnv dataVariable("XDG_DATA_HOME", data);
    EXPECT_EQ("/home/someone/.local/share/velk/",
              VelkFileUtility::getVelkDirectory(true).toString());
  }

  // Without HOME, the password database knows the home folder.
  const ScopedEnv noData("XDG_DATA_HOME", std::nullopt);
  const ScopedEnv noHome("HOME", std::nullopt);
  std::vector<char> buffer(16384);
  passwd entry{};
  passwd* user = nullptr;
  ASSERT_EQ(0, ::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &user));
  ASSERT_NE(nullptr, user);
  EXPECT_EQ(std::string(user->pw_dir) + "/.local/share/velk",
            VelkFileUtility::getVelkDirectory(false).toString());
}

}  // namespace
