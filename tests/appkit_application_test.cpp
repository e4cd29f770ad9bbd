// The application's modal loop, windows, the view controller life cycle,
// event dispatch through local monitors, and selector dispatch.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "appkit/AppKit.h"
#include "support/RecordingViewController.h"

namespace {

using appkit::Application;
using appkit::Event;
using testing::ElementsAre;

class AppKitApplication : public testing::Test {
 protected:
  void SetUp() override { Application::shared().setEventBackend(nullptr); }

  static std::shared_ptr<appkit::Button> button(const velktest::RecordingViewController& c) {
    return c.closeButton.lock();
  }
};

TEST_F(AppKitApplication, TitleBarCloseSendsWillCloseToTheDelegateWhichStopsTheLoop) {
  auto controller = velktest::makeRecordingController({"A"});
  auto window = appkit::Window::windowWithContentViewController(controller);
  window->setStyleMask(appkit::WindowStyleMaskTitled | appkit::WindowStyleMaskClosable);
  auto closeBox = window->standardWindowButton(appkit::WindowButton::CloseButton);
  Application::shared().postEvent(Event::mouseEvent(window, closeBox), false);

  EXPECT_EQ(Application::shared().runModalForWindow(window), appkit::ModalResponseStop);
  EXPECT_THAT(controller->events,
              ElementsAre("viewDidLoad with table", "viewWillAppear", "viewDidAppear",
                          "windowWillClose", "viewWillDisappear"));
  EXPECT_EQ(controller->lastNotificationName, appkit::Window::WillCloseNotification);
  EXPECT_EQ(controller->lastNotificationObject.lock(), window);
  EXPECT_FALSE(window->isVisible());
  EXPECT_FALSE(window->isKeyWindow());
  window.reset();  // already off screen: no second viewWillDisappear
  EXPECT_EQ(controller->events.size(), 5U);
}

TEST_F(AppKitApplication, CloseNotifiesTheDelegateOnlyWhenClosable) {
  auto controller = velktest::makeRecordingController({});
  auto window = appkit::Window::windowWithContentViewController(controller);
  window->makeKeyAndOrderFront({});
  window->setStyleMask(appkit::WindowStyleMaskTitled);
  window->performClose({});
  EXPECT_TRUE(window->isVisible());
  EXPECT_EQ(controller->lastNotificationName, "");

  window->close();  // close() itself does not ask the style
  EXPECT_EQ(controller->lastNotificationObject.lock(), window);
  EXPECT_FALSE(window->isVisible());

  // A window whose delegate is gone just leaves the screen.
  auto plain =
      appkit::Window::windowWithContentViewController(std::make_shared<appkit::ViewController>());
  plain->setDelegate(std::make_shared<appkit::ViewController>());
  plain->makeKeyAndOrderFront({});
  plain->close();
  EXPECT_FALSE(plain->isVisible());
}

TEST_F(AppKitApplication, MonitorsSeeTheirMaskOnlyAndWhatTheySwallowPressesNothing) {
  auto controller = velktest::makeRecordingController({});
  auto window = appkit::Window::windowWithContentViewController(controller);
  std::vector<std::string> seen;
  auto monitor = Event::addLocalMonitorForEventsMatchingMask(
      appkit::EventMaskKeyDown, [&](const Event& event) -> std::optional<Event> {
        seen.push_back(event.charactersIgnoringModifiers());
        return std::nullopt;
      });
  // Space would press the focused button: swallowed, the loop runs out of input.
  Application::shared().postEvent(Event::keyEvent(0, " ", " "), false);
  EXPECT_EQ(Application::shared().runModalForWindow(window), appkit::ModalResponseAbort);
  // A monitor for key presses does not see clicks.
  Application::shared().postEvent(Event::mouseEvent(window, button(*controller)), false);
  EXPECT_EQ(Application::shared().runModalForWindow(window), appkit::ModalResponseStop);
  // Removed monitors see nothing; removing one twice, or a stranger, is harmless.
  Event::removeMonitor(monitor);
  Event::removeMonitor(monitor);
  Event::removeMonitor(std::any(42));
  Application::shared().postEvent(Event::keyEvent(0, " ", " "), false);
  EXPECT_EQ(Application::shared().runModalForWindow(window), appkit::ModalResponseStop);
  EXPECT_THAT(seen, ElementsAre(" "));
  // The window stayed on screen across the three loops.
  EXPECT_THAT(controller->events, ElementsAre("viewDidLoad with table", "viewWillAppear",
                                              "viewDidAppear", "close button", "close button"));
}

TEST_F(AppKitApplication, KeyPressesGoToTheKeyWindowOnlyAndAModalLoopDropsOtherWindowsClicks) {
  auto controller = velktest::makeRecordingController({});
  auto window = appkit::Window::windowWithContentViewController(controller);
  auto other = velktest::makeRecordingController({});
  auto otherWindow = appkit::Window::windowWithContentViewController(other);
  window->makeKeyAndOrderFront({});
  otherWindow->makeKeyAndOrderFront({});
  EXPECT_FALSE(window->isKeyWindow());
  Application::shared().sendEvent(Event::keyEvent(0, "\r", "\r"));
  EXPECT_EQ(other->events.back(), "close button");
  EXPECT_EQ(controller->events.back(), "viewDidAppear");

  // Command+Return presses nothing; Return presses the modal window's button.
  Application::shared().postEvent(Event::mouseEvent(otherWindow, button(*other)), false);
  Application::shared().postEvent(Event::keyEvent(appkit::EventModifierFlagCommand, "\r", "\r"),
                                  false);
  Application::shared().postEvent(Event::keyEvent(0, "\r", "\r"), false);
  EXPECT_EQ(Application::shared().runModalForWindow(window), appkit::ModalResponseStop);
  EXPECT_EQ(std::count(other->events.begin(), other->events.end(), "close button"), 1);
  EXPECT_EQ(std::count(controller->events.begin(), controller->events.end(), "close button"), 1);
}

TEST_F(AppKitApplication, CommandsAndNilTargetedActionsWalkTheResponderChain) {
  auto controller = velktest::makeRecordingController({});
  auto window = appkit::Window::windowWithContentViewController(controller);
  auto closeButton = button(*controller);

  // doCommandBySelector on a subview reaches the controller; unknown ones vanish.
  closeButton->doCommandBySelector("closeButton_actionPerformed:");
  closeButton->doCommandBySelector("noSuchCommand:");
  EXPECT_EQ(controller->events.back(), "close button");
  EXPECT_EQ(std::count(controller->events.begin(), controller->events.end(), "close button"), 1);

  // Without a target the action goes to the key window's first responder chain.
  closeButton->setTarget(nullptr);
  closeButton->performClick({});
  EXPECT_EQ(std::count(controller->events.begin(), controller->events.end(), "close button"), 1);
  window->makeKeyAndOrderFront({});
  closeButton->performClick({});
  EXPECT_EQ(std::count(controller->events.begin(), controller->events.end(), "close button"), 2);

  // "performClose:" reaches the window the same way.
  EXPECT_TRUE(Application::shared().sendAction("performClose:", nullptr, {}));
  EXPECT_FALSE(window->isVisible());
  EXPECT_FALSE(Application::shared().sendAction("noSuchAction:", controller, {}));
}

TEST_F(AppKitApplication, KeyPressesGoToTheAccessibilityFocusedButton) {
  auto controller = velktest::makeRecordingController({});
  // Without a target, its action goes up the chain to the window.
  auto other = std::make_shared<appkit::Button>();
  other->setAction("performClose:");
  auto window = appkit::Window::windowWithContentViewController(controller);
  controller->view()->addSubview(other);
  EXPECT_EQ(window->firstResponder(), button(*controller));  // the first button

  other->setAccessibilityFocused(true);
  EXPECT_EQ(window->firstResponder(), other);
  window->makeKeyAndOrderFront({});
  // Modified Return presses nothing; Return presses the focused button.
  Application::shared().sendEvent(Event::keyEvent(appkit::EventModifierFlagOption, "\r", "\r"));
  EXPECT_TRUE(window->isVisible());
  Application::shared().sendEvent(Event::keyEvent(0, "\r", "\r"));
  EXPECT_FALSE(window->isVisible());
  EXPECT_THAT(controller->events, testing::Contains("windowWillClose"));
  EXPECT_THAT(controller->events, testing::Not(testing::Contains("close button")));
}

}  // namespace
