// The AppKit stand-in under the reminder's own storyboard and view
// controller: what a storyboard must hold, how the modal loop, the local
// monitors and the text backend's input behave.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "VelkUpdateReminder/VelkUpdateReminderDialog.h"
#include "appkit/Application.h"
#include "appkit/Bundle.h"
#include "appkit/Storyboard.h"
#include "appkit/TextEventBackend.h"
#include "appkit/Window.h"
#include "appkit/WindowController.h"
#include "support/Records.h"
#include "support/ScopedMonitor.h"
#include "support/TempDir.h"
#include "support/TempHome.h"

namespace {

using appkit::Application;
using appkit::Event;

class AppKitTest : public testing::Test {
 protected:
  AppKitTest() {
    VelkUpdateReminderDialog::hList = {velktest::historyRecord("A", "01", "2026-02-01")};
  }
  ~AppKitTest() override { Application::shared().setEventBackend(nullptr); }

  // The framework's storyboard with `from` replaced by `to`, instantiated.
  std::shared_ptr<appkit::Object> instantiate(const std::string& from = "",
                                              const std::string& to = "") {
    const auto framework = appkit::Bundle::forClass(typeid(VelkUpdateReminderDialog));
    std::string xml = velktest::readFileBytes(
        framework->pathForResource("VelkUpdateReminder", "storyboard").value_or(""));
    if (!from.empty()) {
      EXPECT_NE(xml.find(from), std::string::npos) << from;
      xml.replace(xml.find(from), from.size(), to);
    }
    velktest::writeFileBytes(dir_.file("Main.storyboard"), xml);
    auto storyboard = appkit::Storyboard::storyboardWithName(
        "Main", std::make_shared<appkit::Bundle>(dir_.path()));
    return storyboard ? storyboard->instantiateInitialController() : nullptr;
  }

  // A window around the storyboard's dialog, run modally on `input` through
  // the text backend.
  appkit::ModalResponse run(const std::string& input, appkit::WindowStyleMask mask = 3) {
    auto controller = std::dynamic_pointer_cast<appkit::WindowController>(instantiate());
    auto window =
        appkit::Window::windowWithContentViewController(controller->contentViewController());
    window->setStyleMask(mask);
    input_.str(input);
    Application::shared().setEventBackend(
        std::make_unique<appkit::TextEventBackend>(input_, output_));
    return Application::shared().runModalForWindow(window);
  }

  velktest::TempHome home_;
  velktest::TempDir dir_;
  std::istringstream input_;
  std::ostringstream output_;
};

TEST_F(AppKitTest, StoryboardsThatCannotBeReadGiveNoController) {
  auto window = std::dynamic_pointer_cast<appkit::WindowController>(instantiate());
  ASSERT_NE(window, nullptr);
  EXPECT_NE(std::dynamic_pointer_cast<VelkUpdateReminderDialog>(window->contentViewController()),
            nullptr);
  const std::vector<std::pair<std::string, std::string>> faults = {
      {"<storyboard", "<nib"},
      {"</storyboard>", ""},
      {R"(initialController="reminderWindowController")", ""},
      {R"(initialController="reminderWindowController")", R"(initialController="nowhere")"},
      {R"(customClass="VelkUpdateReminderDialog")", R"(customClass="NoSuchClass")"},
      {R"(customClass="VelkUpdateReminderDialog")", R"(customClass="Window")"},
      {R"(<contentViewController ref="reminderDialog"/>)",
       R"(<contentViewController ref="reminderWindowController"/>)"},
      {R"(property="table")", R"(property="tables")"},
      {R"(destination="closeButton")", R"(destination="nothing")"},
      {R"(target="owner")", R"(target="nobody")"},
      {R"(<tableColumn id="dcClass" title="種別"/>)", "<textField/>"},
      {R"(width="560")", R"(width="wide")"},
  };
  for (const auto& [from, to] : faults) {
    testing::internal::CaptureStderr();
    EXPECT_EQ(instantiate(from, to), nullptr) << from << " -> " << to;
    EXPECT_THAT(testing::internal::GetCapturedStderr(), testing::StartsWith("appkit: storyboard "));
  }
}

TEST_F(AppKitTest, MonitorsSeeTheirTypesInTurnAndMaySwallowOrGoAway) {
  std::vector<std::string> seen;
  const auto watch = [&](const std::string& name, bool swallow) {
    return [&seen, name, swallow](const Event& event) -> std::optional<Event> {
      seen.push_back(name + " " + event.charactersIgnoringModifiers());
      return swallow ? std::nullopt : std::optional<Event>(event);
    };
  };
  const velktest::ScopedMonitor first(watch("first", false));
  const std::any second =
      Event::addLocalMonitorForEventsMatchingMask(appkit::EventMaskKeyDown, watch("second", true));
  const velktest::ScopedMonitor third(watch("third", false));
  Application::shared().sendEvent(Event(0, "a"));
  // A monitor for no event type sees nothing.
  const std::any none = Event::addLocalMonitorForEventsMatchingMask(0, watch("none", false));
  Event::removeMonitor(second);
  Event::removeMonitor(second);
  Event::removeMonitor(std::any(42));
  Application::shared().sendEvent(Event(0, "b"));
  EXPECT_THAT(seen, testing::ElementsAre("first a", "second a", "first b", "third b"));
  Event::removeMonitor(none);
}

TEST_F(AppKitTest, TheTextBackendTypesKeysAndPressesTheFocusedButton) {
  std::vector<std::string> passed;
  const velktest::ScopedMonitor watch([&](const Event& event) -> std::optional<Event> {
    passed.push_back(event.charactersIgnoringModifiers() + " " +
                     std::to_string(event.modifierFlags()));
    return event;
  });
  EXPECT_EQ(run("bogus\nshift+\n\nalt+shift+c\nC\nenter\nunread\n"), appkit::ModalResponseStop);
  EXPECT_THAT(output_.str(), testing::HasSubstr("unknown input: bogus\nunknown input: shift+\n"));
  const auto shift = std::to_string(appkit::EventModifierFlagShift);
  EXPECT_THAT(passed, testing::ElementsAre("C " + std::to_string(appkit::EventModifierFlagOption |
                                                                 appkit::EventModifierFlagShift),
                                           "C " + shift, "\r 0"));
}

TEST_F(AppKitTest, TheTitleBarClosesOnlyAClosableWindowAndTheInputEndsOnce) {
  EXPECT_EQ(run("close\n"), appkit::ModalResponseStop);
  EXPECT_EQ(run(""), appkit::ModalResponseStop);
  EXPECT_EQ(run("close\n", appkit::WindowStyleMaskTitled), appkit::ModalResponseAbort);
}

// A backend that cannot show the window, asked for input all the same: it
// would close the window at once.
class UnseenBackend : public appkit::EventBackend {
 public:
  explicit UnseenBackend(int& asked) : asked_(asked) {}
  bool displayWindow(appkit::Window& /*window*/) override { return false; }
  std::optional<appkit::Input> nextInput(appkit::Window& /*window*/) override {
    ++asked_;
    return appkit::Input{.kind = appkit::Input::Kind::CloseButton};
  }

 private:
  int& asked_;
};

TEST_F(AppKitTest, AWindowNoBackendCouldShowGetsNoInputAndStaysOpen) {
  auto controller = std::dynamic_pointer_cast<appkit::WindowController>(instantiate());
  auto window =
      appkit::Window::windowWithContentViewController(controller->contentViewController());
  int asked = 0;
  Application::shared().setEventBackend(std::make_unique<UnseenBackend>(asked));
  EXPECT_EQ(Application::shared().runModalForWindow(window), appkit::ModalResponseAbort);
  EXPECT_EQ(asked, 0);
  EXPECT_TRUE(window->isVisible());
  Application::shared().setEventBackend(nullptr);
  window->orderOut();
  EXPECT_EQ(Application::shared().runModalForWindow(window), appkit::ModalResponseAbort);
  EXPECT_TRUE(window->isVisible());
}

}  // namespace
