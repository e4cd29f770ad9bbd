#include "VelkUpdateReminder/VelkUpdateReminderVersion.h"

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

TEST(VelkUpdateReminderVersion, SymbolsAreExportedUnmangled) {
  EXPECT_EQ(VelkUpdateReminderVersionNumber, 3.6);
  const char* text = reinterpret_cast<const char*>(VelkUpdateReminderVersionString);
  EXPECT_EQ(std::string(text), "@(#)PROGRAM:VelkUpdateReminder  PROJECT:VelkUpdateReminder-3.6\n");
  // Found by their plain C names in the shared library's dynamic symbols.
  EXPECT_EQ(dlsym(RTLD_DEFAULT, "VelkUpdateReminderVersionString"),
            static_cast<const void*>(VelkUpdateReminderVersionString));
  EXPECT_EQ(dlsym(RTLD_DEFAULT, "VelkUpdateReminderVersionNumber"),
            static_cast<const void*>(&VelkUpdateReminderVersionNumber));
}

}  // namespace
