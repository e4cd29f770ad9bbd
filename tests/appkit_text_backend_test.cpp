// The text backend: how a window is written out, and how the input lines
// become events.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <sstream>

#include "appkit/AppKit.h"
#include "support/RecordingViewController.h"

namespace {

using appkit::Application;
using testing::ElementsAre;

class AppKitTextBackend : public testing::Test {
 protected:
  void TearDown() override { Application::shared().setEventBackend(nullptr); }

  // Runs a modal loop for `controller`'s window with `input`, after
  // `whenShown` when given; returns the loop's response. The window is
  // released afterwards.
  appkit::ModalResponse run(const std::shared_ptr<velktest::RecordingViewController>& controller,
                            const std::string& input,
                            const std::function<void()>& whenShown = nullptr) {
    input_.str(input);
    input_.clear();
    Application::shared().setEventBackend(
        std::make_unique<appkit::TextEventBackend>(input_, output_));
    auto window = appkit::Window::windowWithContentViewController(controller);
    window->setStyleMask(appkit::WindowStyleMaskTitled | appkit::WindowStyleMaskClosable);
    if (whenShown) {
      window->makeKeyAndOrderFront({});
      whenShown();
    }
    return Application::shared().runModalForWindow(window);
  }

  static bool closedByButton(const velktest::RecordingViewController& controller) {
    return std::count(controller.events.begin(), controller.events.end(), "close button") == 1;
  }

  std::istringstream input_;
  std::ostringstream output_;
};

TEST_F(AppKitTextBackend, WritesTheWindowAlignedByDisplayWidthAgainOnReloadData) {
  auto controller = velktest::makeRecordingController({"種別", "シリアル番号", "有効期限の満了日"});
  controller->setTitle("証明書の有効期限");
  controller->columnTitles = {"種別", "シリアル番号"};  // the third column gets 0
  controller->rows = {{std::string("署名用"), std::string("0A1B2C")}};
  EXPECT_EQ(run(controller, "click\n",
                [&] {
                  controller->rows = {{std::string("利用者証明用"), 7}};
                  controller->table.lock()->reloadData();
                }),
            appkit::ModalResponseStop);
  EXPECT_EQ(output_.str(),
            "== 証明書の有効期限 ==\n"
            "| 種別   | シリアル番号 | 有効期限の満了日 |\n"
            "|--------|--------------|------------------|\n"
            "| 署名用 | 0A1B2C       | 0                |\n"
            "[ Close ]\n"
            "== 証明書の有効期限 ==\n"
            "| 種別         | シリアル番号 | 有効期限の満了日 |\n"
            "|--------------|--------------|------------------|\n"
            "| 利用者証明用 | 7            | 0                |\n"
            "[ Close ]\n");
}

TEST_F(AppKitTextBackend, UnknownInputIsReportedAndEnterPressesTheFocusedButton) {
  auto controller = velktest::makeRecordingController({});
  EXPECT_EQ(run(controller, "bogus\nshift+\nclick\n"), appkit::ModalResponseStop);
  EXPECT_TRUE(closedByButton(*controller));
  EXPECT_THAT(output_.str(), testing::HasSubstr("unknown input: bogus\nunknown input: shift+\n"));

  controller = velktest::makeRecordingController({});
  EXPECT_EQ(run(controller, "enter\n"), appkit::ModalResponseStop);
  EXPECT_TRUE(closedByButton(*controller));
}

TEST_F(AppKitTextBackend, EndOfInputClosesTheWindow) {
  auto controller = velktest::makeRecordingController({});
  EXPECT_EQ(run(controller, "c\n\n"), appkit::ModalResponseStop);
  EXPECT_THAT(controller->events,
              ElementsAre("viewDidLoad with table", "viewWillAppear", "viewDidAppear",
                          "windowWillClose", "viewWillDisappear"));
}

}  // namespace
