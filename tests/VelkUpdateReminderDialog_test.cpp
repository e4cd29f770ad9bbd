// The reminder window's view controller, made from the framework's own
// storyboard: outlets, table, life cycle, the Option+C monitor and the era
// dates of its expiry column.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "appkit/Application.h"
#include "appkit/Storyboard.h"
#include "appkit/Window.h"
#include "appkit/WindowController.h"
#include "support/HistoryTest.h"
#include "support/Records.h"
#include "support/ScopedMonitor.h"

namespace {

using testing::AllOf;
using testing::Contains;
using testing::Field;
using velktest::historyRecord;

class DialogTest : public velktest::HistoryTest {
 protected:
  // A window around a dialog from the framework's storyboard, as alert() makes it.
  void makeWindow() {
    auto storyboard = appkit::Storyboard::storyboardWithName(
        "VelkUpdateReminder", appkit::Bundle::forClass(typeid(VelkUpdateReminderDialog)));
    ASSERT_NE(storyboard, nullptr);
    auto controller = std::dynamic_pointer_cast<appkit::WindowController>(
        storyboard->instantiateInitialController());
    ASSERT_NE(controller, nullptr);
    dialog =
        std::dynamic_pointer_cast<VelkUpdateReminderDialog>(controller->contentViewController());
    ASSERT_NE(dialog, nullptr);
    window = appkit::Window::windowWithContentViewController(dialog);
  }

  // Whether `event` got past every monitor installed so far.
  static bool passesMonitors(const appkit::Event& event) {
    bool passed = false;
    const velktest::ScopedMonitor last([&](const appkit::Event& seen) {
      passed = true;
      return std::optional<appkit::Event>(seen);
    });
    appkit::Application::shared().sendEvent(event);
    return passed;
  }

  static appkit::Event optionC() { return {appkit::EventModifierFlagOption, "c"}; }

  std::shared_ptr<VelkUpdateReminderDialog> dialog;
  std::shared_ptr<appkit::Window> window;
};

TEST_F(DialogTest, TableShowsHListByColumnTitle) {
  makeWindow();
  auto table = dialog->table.lock();
  ASSERT_NE(table, nullptr);
  VelkUpdateReminderDialog::hList = {historyRecord("A", "01AB", "2026-02-01"),
                                     historyRecord("S", "FF", "2019-04-30")};
  EXPECT_EQ(table->numberOfRows(), 2);
  const auto& columns = table->tableColumns();
  ASSERT_EQ(columns.size(), 3U);
  // Another title, or no column: the integer 0. Outside hList: nothing.
  auto other = std::make_shared<appkit::TableColumn>(
      appkit::Coder(std::map<std::string, std::string, std::less<>>{{"title", "種類"}}));
  EXPECT_EQ(std::any_cast<int>(dialog->tableView(*table, other, 1)), 0);
  EXPECT_EQ(std::any_cast<int>(dialog->tableView(*table, nullptr, 0)), 0);
  EXPECT_FALSE(dialog->tableView(*table, columns[0], 2).has_value());
  EXPECT_FALSE(dialog->tableView(*table, columns[0], -1).has_value());

  // The table asks through the data source's selectors.
  EXPECT_EQ(std::any_cast<std::string>(table->objectValue(columns[1], 1)), "FF");

  VelkUpdateReminderDialog::hList.clear();
  EXPECT_EQ(table->numberOfRows(), 0);
}

TEST_F(DialogTest, OnScreenTheCloseButtonHasFocusAndOptionCIsWatchedOnlyWhileKey) {
  VelkUpdateReminderDialog::hList = {historyRecord("A", "01", "2026-02-01")};
  makeWindow();
  // Without a monitor, leaving the screen does nothing more.
  dialog->viewWillDisappear();
  EXPECT_TRUE(passesMonitors(optionC()));

  window->makeKeyAndOrderFront();
  EXPECT_EQ(window->firstResponder(), dialog->closeButton.lock());
  EXPECT_FALSE(passesMonitors(optionC()));
  EXPECT_TRUE(passesMonitors(appkit::Event(0, "c")));

  // Off screen the monitor is gone.
  window->performClose();
  EXPECT_FALSE(window->isVisible());
  window->makeKeyAndOrderFront();  // shown again: a new monitor
  EXPECT_FALSE(passesMonitors(optionC()));
  window.reset();  // released while on screen
  EXPECT_TRUE(passesMonitors(optionC()));
}

TEST_F(DialogTest, ShownWithAnEmptyHListTheApplicationEnds) {
  makeWindow();
  EXPECT_EXIT(window->makeKeyAndOrderFront(), testing::ExitedWithCode(0), "");
}

TEST_F(DialogTest, ExpiryDatesInTheEraCalendar) {
  const auto dialog = std::make_shared<VelkUpdateReminderDialog>(std::nullopt, nullptr);
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"2023-04-01", "令和5年4月1日"},
      {"2019-05-01", "令和元年5月1日"},
      {"2019-04-30", "平成31年4月30日"},
      {"1989-01-08", "平成元年1月8日"},
      {"1989-01-07", "昭和64年1月7日"},
      {"1926-12-25", "昭和元年12月25日"},
      {"1926-12-24", "大正15年12月24日"},
      {"1912-07-30", "大正元年7月30日"},
      {"1912-07-29", "明治45年7月29日"},
      {"2023-04-01 09:30:00", "令和5年4月1日"},
      // No lower bound: everything before 大正 is 明治.
      {"1867-12-31", "明治0年12月31日"},
      // Only a leading zero goes; month and day are not checked.
      {"2020-01-10", "令和2年1月10日"},
      {"2020-10-01", "令和2年10月1日"},
      {"2023/13x99", "令和5年13月99日"},
      // Positions count characters: a multi-byte separator is one, and a
      // stray continuation byte belongs to the character before it.
      {"2023年04月01日", "令和5年4月1日"},
      {"2035-07-\x9e"
       "15",
       "令和17年7月15日"},
      // Texts that are no date give nothing, with an error line.
      {"", ""},
      {"2023-04-1", ""},
      {"2023-4-01", ""},
      {"+202-04-01", ""},
      {"２０２３-04-01", ""},
      {"2023-04-\xff\xfe", ""},
  };
  for (const auto& [input, expected] : cases) {
    EXPECT_EQ(dialog->ChangeWareki(input), expected) << input;
  }
  EXPECT_THAT(log.newLines(),
              Contains(AllOf(Field(&velktest::LogLine::level, "ERROR"),
                             Field(&velktest::LogLine::operation, "ChangeWareki(strDate:)"))));

  auto record = historyRecord("S", "00FF10", "2019-05-01");
  EXPECT_EQ(dialog->convertDispInfo(record),
            (std::vector<std::string>{"署名用", "00FF10", "令和元年5月1日"}));
  record->dcClass = "X";
  record->notAfter = "garbage";
  EXPECT_EQ(dialog->convertDispInfo(record), (std::vector<std::string>{"", "00FF10", ""}));
  EXPECT_EQ(dialog->convertDispInfo(nullptr), (std::vector<std::string>{"", "", ""}));
}

}  // namespace
