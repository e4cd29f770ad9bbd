#include <VelkUpdateReminder/VelkUpdateReminder.h>

#include <cstdio>
#include <cstring>

int main() {
  const auto* text = reinterpret_cast<const char*>(VelkUpdateReminderVersionString);
  std::printf("%s", text);
  std::printf("version %.1f\n", VelkUpdateReminderVersionNumber);
  std::printf("lock file %s\n",
              VelkUpdateReminderCommon::getCeritificateHistoryLockFilePath().c_str());
  return std::strstr(text, "VelkUpdateReminder-3.6\n") != nullptr ? 0 : 1;
}
