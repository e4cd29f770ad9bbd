// Storyboards: reading the XML from a bundle's folder, instantiating classes
// by name, connecting outlets and actions by name, and failing without
// throwing.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

#include "appkit/AppKit.h"
#include "support/RecordingViewController.h"
#include "support/TempDir.h"

namespace {

using testing::ElementsAre;

const char* const kReminder = R"(<?xml version="1.0" encoding="UTF-8"?>
<storyboard initialController="windowController">
  <windowController id="windowController">
    <contentViewController ref="dialog"/>
  </windowController>
  <viewController id="dialog" customClass="RecordingViewController" title="お知らせ">
    <view id="root">
      <tableView id="table">
        <tableColumn id="kind" title="種別"/>
        <tableColumn title="シリアル番号"/>
        <tableColumn title="有効期限の満了日"/>
      </tableView>
      <view>
        <button id="close" title="閉じる" action="closeButton_actionPerformed:" target="owner"/>
      </view>
    </view>
    <connections>
      <outlet property="table" destination="table"/>
      <outlet property="closeButton" destination="close"/>
    </connections>
  </viewController>
</storyboard>
)";

class AppKitStoryboard : public testing::Test {
 protected:
  std::shared_ptr<appkit::Object> instantiate(const std::string& xml) {
    velktest::writeFileBytes(dir_.file("Main.storyboard"), xml);
    auto storyboard = appkit::Storyboard::storyboardWithName("Main", bundle_);
    return storyboard ? storyboard->instantiateInitialController() : nullptr;
  }

  // kReminder with `from` replaced by `to`.
  static std::string changed(const std::string& from, const std::string& to) {
    std::string xml = kReminder;
    const auto at = xml.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    return at == std::string::npos ? xml : xml.replace(at, from.size(), to);
  }

  velktest::TempDir dir_;
  std::shared_ptr<appkit::Bundle> bundle_ = appkit::Bundle::bundleWithResourcePath(dir_.path());
};

TEST_F(AppKitStoryboard, InstantiatesByClassNameAndConnectsOutletsAndActionsWhenTheViewLoads) {
  auto controller = std::dynamic_pointer_cast<appkit::WindowController>(instantiate(kReminder));
  ASSERT_NE(controller, nullptr);
  auto dialog = std::dynamic_pointer_cast<velktest::RecordingViewController>(
      controller->contentViewController());
  ASSERT_NE(dialog, nullptr);
  EXPECT_FALSE(dialog->isViewLoaded());
  EXPECT_EQ(dialog->table.lock(), nullptr);

  auto window = appkit::Window::windowWithContentViewController(dialog);
  EXPECT_THAT(dialog->events, ElementsAre("init(coder:)", "viewDidLoad with table"));
  auto table = dialog->table.lock();
  ASSERT_NE(table, nullptr);
  EXPECT_EQ(table->identifier(), "table");
  EXPECT_EQ(table->window(), window);
  EXPECT_EQ(table->tableColumns()[0]->identifier(), "kind");

  auto button = dialog->closeButton.lock();
  ASSERT_NE(button, nullptr);
  EXPECT_EQ(button->window(), window);
  button->performClick({});  // no key window: only its target hears it
  EXPECT_EQ(dialog->events.back(), "close button");

  // Each instantiation makes new objects.
  auto again = std::dynamic_pointer_cast<appkit::WindowController>(instantiate(kReminder));
  ASSERT_NE(again, nullptr);
  EXPECT_NE(again->contentViewController(), dialog);
}

TEST_F(AppKitStoryboard, AFileRewrittenInPlaceIsReadAgain) {
  // Same size, same inode, written within the same second as the first read;
  // the second file starts from a plain view controller.
  ASSERT_NE(std::dynamic_pointer_cast<appkit::WindowController>(instantiate(kReminder)), nullptr);
  const std::string dialogFirst =
      changed("initialController=\"windowController\"", "initialController=\"dialog\"          ");
  ASSERT_EQ(dialogFirst.size(), std::string(kReminder).size());
  EXPECT_NE(std::dynamic_pointer_cast<velktest::RecordingViewController>(instantiate(dialogFirst)),
            nullptr);
}

TEST_F(AppKitStoryboard, ErrorsGiveNoStoryboardOrNoController) {
  EXPECT_EQ(appkit::Storyboard::storyboardWithName("Missing", bundle_), nullptr);
  velktest::writeFileBytes(dir_.file("Broken.storyboard"), "<storyboard><viewController>");
  EXPECT_EQ(appkit::Storyboard::storyboardWithName("Broken", bundle_), nullptr);
  velktest::writeFileBytes(dir_.file("Other.storyboard"), "<nib/>");
  EXPECT_EQ(appkit::Storyboard::storyboardWithName("Other", bundle_), nullptr);

  const std::vector<std::pair<std::string, std::string>> faults = {
      {"initialController=\"windowController\"", ""},
      {"initialController=\"windowController\"", "initialController=\"nowhere\""},
      {"initialController=\"windowController\"", "initialController=\"table\""},
      {"customClass=\"RecordingViewController\"", "customClass=\"NoSuchClass\""},
      {"customClass=\"RecordingViewController\"", "customClass=\"TableView\""},
      {"<windowController id=\"windowController\">",
       R"(<windowController id="windowController" customClass="RecordingViewController">)"},
      {"<contentViewController ref=\"dialog\"/>", "<contentViewController ref=\"missing\"/>"},
      {"<contentViewController ref=\"dialog\"/>",
       "<contentViewController ref=\"windowController\"/>"},
      {"property=\"table\"", "property=\"tables\""},
      {"property=\"table\"", "property=\"\""},
      {"destination=\"close\"", "destination=\"nothing\""},
      {"target=\"owner\"", "target=\"nobody\""},
      {"<tableColumn title=\"シリアル番号\"/>", "<textField/>"},
      {"<tableColumn title=\"シリアル番号\"/>", "<button/>"},
      {"<tableColumn id=\"kind\" title=\"種別\"/>", "<tableColumn id=\"close\" title=\"種別\"/>"},
      {"<view>", "<view customClass=\"Window\">"},
  };
  for (const auto& [from, to] : faults) {
    EXPECT_EQ(instantiate(changed(from, to)), nullptr) << from << " -> " << to;
  }
}

}  // namespace
