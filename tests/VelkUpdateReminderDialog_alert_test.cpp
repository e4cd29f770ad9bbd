// alert(): what each run shows and leaves in the history. The log of every
// way through it is in the golden files.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "VelkUpdateReminder/VelkUpdateReminderCommon.h"
#include "appkit/Application.h"
#include "appkit/EventBackend.h"
#include "support/ChildProcesses.h"
#include "support/HistoryTest.h"
#include "support/LockHolder.h"
#include "support/Records.h"
#include "support/ScopedMonitor.h"

namespace {

using velktest::recordLine;
using velktest::ScopedMonitor;
using velktest::serialsOf;

class AlertTest : public velktest::HistoryTest {
 protected:
  // Today is 2026-01-15: two records expire within three months (0B first,
  // 0A on the last day of the three months), one has expired, two expire
  // later.
  const std::string kShown = recordLine("S", "0A", "2026-04-15", "2025-06-01 10:00:00") +
                             recordLine("A", "0B", "2026-02-01", "2025-06-02 10:00:00");
  const std::string kExpired = recordLine("A", "0C", "2026-01-14", "2025-06-03 10:00:00");
  const std::string kLater = recordLine("S", "0D", "2027-01-01", "2025-06-04 10:00:00") +
                             recordLine("A", "0E", "2026-04-16", "2025-06-05 10:00:00");
  const std::string kHistory = "1\n" + kShown + kExpired + kLater;
  // What a run that shows kHistory leaves: the later ones, earliest first.
  const std::string kAfterRun = "1\n" + recordLine("A", "0E", "2026-04-16", "2025-06-05 10:00:00") +
                                recordLine("S", "0D", "2027-01-01", "2025-06-04 10:00:00");
  // The window of a run that shows kHistory, as the text backend draws it.
  const std::string kShownScreen =
      "== 証明書の有効期限のお知らせ ==\n"
      "| 種別         | シリアル番号 | 有効期限の満了日 |\n"
      "|--------------|--------------|------------------|\n"
      "| 利用者証明用 | 0B           | 令和8年2月1日    |\n"
      "| 署名用       | 0A           | 令和8年4月15日   |\n"
      "[ 閉じる ]\n";

  void writeHistory(const std::string& text) const { velktest::writeHistory(home, text); }
  std::string history() const { return velktest::history(home); }
};

TEST_F(AlertTest, RunsThatShowNothingChangeNothing) {
  alert("close\n");
  EXPECT_FALSE(std::filesystem::exists(home.historyFile())) << "a missing history is not made";
  // The selection replaces hList even when it is empty.
  VelkUpdateReminderDialog::hList = {velktest::historyRecord("A", "01", "2026-02-01")};
  writeHistory("1\n" + kExpired + kLater);
  alert("close\n");
  EXPECT_TRUE(VelkUpdateReminderDialog::hList.empty());
  EXPECT_EQ(history(), "1\n" + kExpired + kLater);
  EXPECT_EQ(screen.output(), "");

  // A window that no input can reach: nobody saw the certificates.
  writeHistory(kHistory);
  appkit::Application::shared().setEventBackend(nullptr);
  alert();
  EXPECT_EQ(serialsOf(VelkUpdateReminderDialog::hList), (std::vector<std::string>{"0B", "0A"}));
  EXPECT_EQ(history(), kHistory);
  EXPECT_TRUE(velktest::lockIsFree(home.lockFile()));
}

// A dialog whose storyboard comes from another bundle.
class DialogFromBundle : public VelkUpdateReminderDialog {
 public:
  explicit DialogFromBundle(std::shared_ptr<appkit::Bundle> bundle)
      : VelkUpdateReminderDialog(std::nullopt, nullptr), bundle_(std::move(bundle)) {}

 protected:
  std::shared_ptr<appkit::Bundle> frameworkBundle() const override { return bundle_; }

 private:
  std::shared_ptr<appkit::Bundle> bundle_;
};

TEST_F(AlertTest, StoryboardWithoutAUsableWindow) {
  const std::string windowFailure = "alert() failed to instantiate WindowController";
  const std::vector<std::pair<std::string, std::string>> storyboards = {
      // A plain view controller as the initial controller.
      {R"(<storyboard initialController="dialog">
            <viewController id="dialog" customClass="VelkUpdateReminderDialog"/>
          </storyboard>)",
       windowFailure},
      // No storyboard file.
      {"", windowFailure},
      // A window controller without content.
      {R"(<storyboard initialController="window"><windowController id="window"/></storyboard>)",
       "alert() the WindowController has invalid ViewController"},
  };
  for (const auto& [xml, failure] : storyboards) {
    const velktest::TempDir resources;
    if (!xml.empty()) {
      velktest::writeFileBytes(resources.file("VelkUpdateReminder.storyboard"), xml);
    }
    writeHistory(kHistory);
    screen.type("close\n");
    std::make_shared<DialogFromBundle>(std::make_shared<appkit::Bundle>(resources.path()))->alert();
    EXPECT_THAT(log.newLines(),
                testing::Contains(velktest::fatalLine("DialogFromBundle", "alert()", failure)))
        << xml;
    EXPECT_EQ(history(), kHistory);
    EXPECT_EQ(screen.output(), "");
    EXPECT_TRUE(velktest::lockIsFree(home.lockFile()));
  }
}

// How the user dismisses the window: the close button by keyboard or click,
// the title bar's close button, or no more input.
class AlertRunTest : public AlertTest, public testing::WithParamInterface<std::string> {};

TEST_P(AlertRunTest, ShowsTheSoonExpiringOnesAndDropsThemAfterwards) {
  writeHistory(kHistory);
  {
    // Another process records two certificates while the window is up: a new
    // one, which stays, and one of those shown, which goes all the same.
    screen.whenShown([] {
      EXPECT_TRUE(velktest::runInChildren(1, [](int) {
        VelkCertificateHistoryFileController recorder;
        if (!recorder.lock(VelkUpdateReminderCommon::PROCCESS_LOCL_WAIT) ||
            !recorder.readFile(VelkUpdateReminderCommon::HISTORY_MAX_COUNT)) {
          return false;
        }
        recorder.addCirtificateFile(
            recorder.readExpirationInfo("S,0F,2026-12-01,2026-01-15 12:00:00"));
        for (const auto& info : recorder.getCertificateHistoryInfoList()) {
          if (info->serialNumber == "0A") {
            info->notAfter = "2028-01-01";
          }
        }
        return recorder.saveFile();
      }));
    });
    alert(GetParam());
  }
  EXPECT_EQ(screen.output(), kShownScreen);
  EXPECT_EQ(history(), "1\n" + recordLine("A", "0E", "2026-04-16", "2025-06-05 10:00:00") +
                           recordLine("S", "0F", "2026-12-01", "2026-01-15 12:00:00") +
                           recordLine("S", "0D", "2027-01-01", "2025-06-04 10:00:00"));
  EXPECT_EQ(serialsOf(VelkUpdateReminderDialog::hList), (std::vector<std::string>{"0B", "0A"}));
  EXPECT_TRUE(velktest::lockIsFree(home.lockFile()));
}

INSTANTIATE_TEST_SUITE_P(ClosedBy, AlertRunTest,
                         testing::Values("alt+c\n", "click\n", "close\n", ""));

TEST_F(AlertTest, OnlyOptionCClosesAndItIsSwallowed) {
  const auto flags = [](appkit::EventModifierFlags value) { return std::to_string(value); };
  struct Case {
    std::string input;
    std::vector<std::string> passedOn;  // characters ignoring modifiers / flags
    std::string unread;
  };
  const std::vector<Case> cases = {
      {"x\nc\ncmd+c\nalt+shift+c\nctrl+c\nalt+c\nclick\n",
       {"x/" + flags(0), "c/" + flags(0), "c/" + flags(appkit::EventModifierFlagCommand),
        "C/" + flags(appkit::EventModifierFlagOption | appkit::EventModifierFlagShift),
        "c/" + flags(appkit::EventModifierFlagControl)},
       "click\n"},
      // Command+Option+C closes as Option+C does; Option+X goes on.
      {"x\nalt+x\nalt+cmd+c\nalt+c\n",
       {"x/" + flags(0), "x/" + flags(appkit::EventModifierFlagOption)},
       "alt+c\n"},
  };
  for (const Case& test : cases) {
    writeHistory(kHistory);
    std::vector<std::string> passedOn;
    std::unique_ptr<ScopedMonitor> behindTheDialog;
    {
      // Installed after the dialog's monitor: sees what that one passes on.
      screen.whenShown([&] {
        behindTheDialog = std::make_unique<ScopedMonitor>(
            [&](const appkit::Event& event) -> std::optional<appkit::Event> {
              passedOn.push_back(event.charactersIgnoringModifiers() + "/" +
                                 flags(event.modifierFlags()));
              return event;
            });
      });
      alert(test.input);
    }
    behindTheDialog.reset();
    EXPECT_EQ(passedOn, test.passedOn) << test.input;
    EXPECT_EQ(screen.unreadInput(), test.unread) << test.input;
    EXPECT_EQ(history(), kAfterRun) << test.input;
  }
}

TEST_F(AlertTest, CertificatesExpiringTheSameDayAreShownBySerialNumber) {
  writeHistory("1\n" + recordLine("S", "0B", "2026-02-01") + recordLine("A", "0A", "2026-02-01"));
  alert("alt+c\n");
  EXPECT_EQ(serialsOf(VelkUpdateReminderDialog::hList), (std::vector<std::string>{"0A", "0B"}));
  EXPECT_NE(screen.output().find("| 0A           | 令和8年2月1日    |\n"
                                 "| 署名用       | 0B "),
            std::string::npos)
      << screen.output();
}

TEST_F(AlertTest, TheRunsDateIsTakenOnceAndUsedAfterTheWindow) {
  // 0G is neither shown (later than three months) nor expired on the run's
  // date, but would be on the day the window closes.
  const std::string later = recordLine("A", "0G", "2026-05-01", "2025-06-06 10:00:00");
  writeHistory(kHistory + later);
  {
    screen.whenShown([&] { setToday(std::chrono::year{2026} / 6 / 1); });
    alert("alt+c\n");
  }
  EXPECT_EQ(history(), "1\n" + recordLine("A", "0E", "2026-04-16", "2025-06-05 10:00:00") + later +
                           recordLine("S", "0D", "2027-01-01", "2025-06-04 10:00:00"));
}

}  // namespace
