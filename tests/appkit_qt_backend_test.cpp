// The desktop backend under Qt's offscreen platform, through the reminder's
// real storyboard and view controller: what the window shows, which input
// closes it, in a host's QApplication and in one of the backend's own.

#include <gtest/gtest.h>

#include <QApplication>
#include <QHeaderView>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <array>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "CertificateFactory.h"
#include "VelkUpdateReminder/VelkUpdateReminderDialog.h"
#include "appkit/Application.h"
#include "appkit/EventBackend.h"
#include "foundation/Clock.h"
#include "support/ScopedEnv.h"
#include "support/ScopedMonitor.h"
#include "support/TempDir.h"
#include "support/TempHome.h"

namespace {

constexpr const char* kTitle = "証明書の有効期限のお知らせ";
// Today is 15 January 2026: two records expire within three months, one
// later, one has expired.
constexpr const char* kHistory =
    "1\n"
    "S,0A,2026-03-01,2025-06-01 10:00:00\n"
    "A,0102,2026-02-14,2025-06-01 10:00:00\n"
    "S,0FF,2027-06-30,2025-06-01 10:00:00\n"
    "A,0777,2026-01-01,2025-06-01 10:00:00\n";
constexpr const char* kAfterClose = "1\nS,0FF,2027-06-30,2025-06-01 10:00:00\n";

// The reminder's window while it is on screen; nullptr when none is.
QWidget* reminderWindow() {
  for (QWidget* widget : QApplication::topLevelWidgets()) {
    if (widget->isVisible() && widget->windowTitle() == QString::fromUtf8(kTitle)) {
      return widget;
    }
  }
  return nullptr;
}

class QtBackendTest : public testing::Test {
 protected:
  QtBackendTest() {
    // The members below come first: offscreen is chosen before the backend.
    std::filesystem::create_directories(home.appDir());
    appkit::Application::shared().setEventBackend(appkit::EventBackend::named("desktop"));
  }
  ~QtBackendTest() override { appkit::Application::shared().setEventBackend(nullptr); }

  // Runs alert() on `history`; returns the history afterwards.
  std::string alert() {
    velktest::writeFileBytes(home.historyFile(), kHistory);
    std::make_shared<VelkUpdateReminderDialog>(std::nullopt, nullptr)->alert();
    watchdog.reset();
    return velktest::readFileBytes(home.historyFile());
  }

  using Step = std::function<void(QWidget&)>;

  // Runs `steps` one after another from the host's event loop while alert()
  // waits for input, each on the reminder's window. A window still up ten
  // seconds later fails the test at once rather than at ctest's timeout.
  void whileShown(std::vector<Step> steps) {
    runStep(std::make_shared<const std::vector<Step>>(std::move(steps)), 0);
    watchdog = std::make_unique<QObject>();
    QTimer::singleShot(std::chrono::seconds(10), watchdog.get(), [] {
      ADD_FAILURE() << "the steps did not close the window";
      std::_Exit(1);
    });
  }
  static void runStep(const std::shared_ptr<const std::vector<Step>>& steps, std::size_t i) {
    QTimer::singleShot(0, [steps, i] {
      QWidget* window = reminderWindow();
      ASSERT_NE(window, nullptr) << "step " << i;
      (*steps)[i](*window);
      if (i + 1 < steps->size()) {
        runStep(steps, i + 1);
      }
    });
  }

  std::unique_ptr<QObject> watchdog;  // while whileShown()'s steps run
  // No display needed, whatever the environment names.
  velktest::ScopedEnv platform{"QT_QPA_PLATFORM", "offscreen"};
  velktest::TempHome home;
  foundation::ScopedClock clock{[] {
    return foundation::Date(
        velktest::CertificateFactory::localNoon(std::chrono::year{2026} / 1 / 15));
  }};
};

QPushButton& closeButton(QWidget& window) {
  auto* button = window.findChild<QPushButton*>();
  EXPECT_NE(button, nullptr);
  return *button;
}

TEST_F(QtBackendTest, InAHostApplicationShowsTheRecordsAndClosesOnlyAsTheControllerSays) {
  int argc = 1;
  std::string name = "host";
  std::array<char*, 2> argv = {name.data(), nullptr};
  QApplication host(argc, argv.data());
  QWidget hostWindow;
  hostWindow.show();
  // A backend made while the host's application runs shows its windows there.
  appkit::Application::shared().setEventBackend(appkit::EventBackend::named("desktop"));

  auto shows = [&](QWidget& window) {
    EXPECT_EQ(QApplication::activeModalWidget(), &window);
    EXPECT_EQ(window.minimumSize(), window.maximumSize()) << "not resizable";
    EXPECT_GE(window.width(), 560);
    auto* table = window.findChild<QTableView*>();
    ASSERT_NE(table, nullptr);
    const QAbstractItemModel& model = *table->model();
    const std::vector<std::vector<QString>> expected = {
        {"種別", "シリアル番号", "有効期限の満了日"},
        {"利用者証明用", "0102", "令和8年2月14日"},
        {"署名用", "0A", "令和8年3月1日"}};
    ASSERT_EQ(model.columnCount(), 3);
    ASSERT_EQ(model.rowCount(), 2);
    for (int column = 0; column < 3; ++column) {
      EXPECT_EQ(model.headerData(column, Qt::Horizontal).toString(), expected[0][column]);
      for (int row = 0; row < 2; ++row) {
        EXPECT_EQ(model.index(row, column).data().toString(), expected[row + 1][column]);
        EXPECT_GE(table->columnWidth(column),
                  table->fontMetrics().horizontalAdvance(expected[row + 1][column]));
      }
    }
    EXPECT_EQ(window.focusWidget(), &closeButton(window));
    EXPECT_EQ(closeButton(window).text(), "閉じる");
  };
  auto press = [](Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    return [key, modifiers](QWidget& window) {
      QTest::keyClick(&closeButton(window), key, modifiers);
    };
  };
  // Tab moves the focus to the table, where Enter and Space press nothing,
  // and back.
  auto toTable = [](QWidget& window) {
    auto* table = window.findChild<QTableView*>();
    QTest::keyClick(&closeButton(window), Qt::Key_Tab);
    EXPECT_EQ(window.focusWidget(), table);
    QTest::keyClick(table, Qt::Key_Return);
    QTest::keyClick(table, Qt::Key_Space);
  };
  auto toButton = [](QWidget& window) {
    QTest::keyClick(window.findChild<QTableView*>(), Qt::Key_Tab);
    EXPECT_EQ(window.focusWidget(), &closeButton(window));
  };
  // Plain C, Shift+Alt+C and Escape leave the window up; Alt+C closes it.
  whileShown({shows, toTable, toButton, press(Qt::Key_C),
              press(Qt::Key_C, Qt::AltModifier | Qt::ShiftModifier), press(Qt::Key_Escape),
              press(Qt::Key_C, Qt::AltModifier)});
  EXPECT_EQ(alert(), kAfterClose);

  // Enter on the button, a click on it and the title bar's close button.
  const std::vector<Step> closers = {
      press(Qt::Key_Return),
      [](QWidget& window) { QTest::mouseClick(&closeButton(window), Qt::LeftButton); },
      [](QWidget& window) { window.close(); }};
  for (const auto& closer : closers) {
    whileShown({closer});
    EXPECT_EQ(alert(), kAfterClose);
  }
  EXPECT_EQ(reminderWindow(), nullptr);
  EXPECT_EQ(QApplication::instance(), &host);
  EXPECT_TRUE(hostWindow.isVisible());
}

// The desktop backend, pressing Alt+C in each window it shows.
class AltCBackend : public appkit::EventBackend {
 public:
  bool displayWindow(appkit::Window& window) override {
    QTimer::singleShot(0, [] { QTest::keyClick(reminderWindow(), Qt::Key_C, Qt::AltModifier); });
    return desktop_->displayWindow(window);
  }
  void windowDidOrderOut(appkit::Window& window) override { desktop_->windowDidOrderOut(window); }
  std::optional<appkit::Input> nextInput(appkit::Window& window) override {
    return desktop_->nextInput(window);
  }

 private:
  std::unique_ptr<appkit::EventBackend> desktop_ = appkit::EventBackend::named("desktop");
};

TEST_F(QtBackendTest, WithoutAHostApplicationMakesOneForEachWindow) {
  ASSERT_EQ(QApplication::instance(), nullptr);
  appkit::Application::shared().setEventBackend(std::make_unique<AltCBackend>());
  for (int run = 0; run < 2; ++run) {
    EXPECT_EQ(alert(), kAfterClose) << "run " << run;
    EXPECT_EQ(QApplication::instance(), nullptr) << "run " << run;
  }
}

// Where no window can be opened there is no backend, and one line says why.
TEST(DesktopBackendChoice, NoBackendWhereNoWindowCanBeOpened) {
  const velktest::TempDir runtime;
  velktest::writeFileBytes(runtime.file("wayland-9"), "");  // not a compositor's socket
  const velktest::ScopedEnv runtimeDir("XDG_RUNTIME_DIR", runtime.path());
  struct Case {
    std::optional<std::string> platform, x11, wayland;
    std::string says;
  };
  const std::vector<Case> cases = {
      {"xcb", std::nullopt, std::nullopt, "QT_QPA_PLATFORM=xcb but its display cannot be opened"},
      {"wayland;xcb", ":4242", "wayland-9",
       "QT_QPA_PLATFORM=wayland;xcb but its display cannot be opened"},
      {std::nullopt, ":4242", runtime.file("wayland-9"),
       "cannot open the display (DISPLAY=:4242, WAYLAND_DISPLAY=" + runtime.file("wayland-9") +
           ")"},
  };
  const auto refusal = [] {
    testing::internal::CaptureStderr();
    const bool none = appkit::EventBackend::named("desktop") == nullptr;
    const std::string said = testing::internal::GetCapturedStderr();
    return none ? said : "a backend";
  };
  for (const Case& c : cases) {
    const velktest::ScopedEnv platform("QT_QPA_PLATFORM", c.platform);
    const velktest::ScopedEnv x11("DISPLAY", c.x11);
    const velktest::ScopedEnv wayland("WAYLAND_DISPLAY", c.wayland);
    EXPECT_EQ(refusal(), "appkit: no desktop window: " + c.says + "\n");
  }
  // A host whose Qt application has no widgets.
  int argc = 1;
  std::string name = "host";
  std::array<char*, 2> argv = {name.data(), nullptr};
  const QCoreApplication host(argc, argv.data());
  EXPECT_EQ(refusal(),
            "appkit: no desktop window: the program's Qt application cannot show widgets (not a "
            "QApplication)\n");
}

}  // namespace
