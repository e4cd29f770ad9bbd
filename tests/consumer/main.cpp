#include <VelkUpdateReminder/VelkUpdateReminder.h>
#include <appkit/Storyboard.h>
#include <appkit/WindowController.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <typeinfo>

// The installed framework finds its storyboard beside it and makes the
// reminder's window controller and dialog from it.
static bool storyboardFound() {
  auto bundle = appkit::Bundle::forClass(typeid(VelkUpdateReminderDialog));
  auto path = bundle ? bundle->pathForResource("VelkUpdateReminder", "storyboard") : std::nullopt;
  auto storyboard = appkit::Storyboard::storyboardWithName("VelkUpdateReminder", bundle);
  auto controller = std::dynamic_pointer_cast<appkit::WindowController>(
      storyboard ? storyboard->instantiateInitialController() : nullptr);
  const bool found =
      path && controller &&
      std::dynamic_pointer_cast<VelkUpdateReminderDialog>(controller->contentViewController());
  std::printf("storyboard %s\n", found ? path->c_str() : "not found");
  return found;
}

int main() {
  const auto* text = reinterpret_cast<const char*>(VelkUpdateReminderVersionString);
  std::printf("%s", text);
  std::printf("version %.1f\n", VelkUpdateReminderVersionNumber);
  std::printf("lock file %s\n",
              VelkUpdateReminderCommon::getCeritificateHistoryLockFilePath().c_str());
  const bool found = storyboardFound();
  return std::strstr(text, "VelkUpdateReminder-3.6\n") != nullptr && found ? 0 : 1;
}
