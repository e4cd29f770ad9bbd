// alert(): every way a run ends, and whole runs through the text backend.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "VelkUpdateReminder/VelkUpdateReminderCommon.h"
#include "VelkUpdateReminderDialogTestFixture.h"
#include "appkit/Application.h"
#include "appkit/EventBackend.h"
#include "support/ChildProcesses.h"
#include "support/LockHolder.h"
#include "support/ScopedMonitor.h"

namespace {

using velktest::debugLine;
using velktest::errorLine;
using velktest::fatalLine;
using velktest::LogLine;
using velktest::recordLine;
using velktest::ScopedMonitor;

const std::string kDialog = "VelkUpdateReminderDialog";

// Today is 2026-01-15: two records expire within three months (0B first),
// one has expired, two expire later.
const std::string kShown = recordLine("S", "0A", "2026-03-01", "2025-06-01 10:00:00") +
                           recordLine("A", "0B", "2026-02-01", "2025-06-02 10:00:00");
const std::string kExpired = recordLine("A", "0C", "2026-01-14", "2025-06-03 10:00:00");
const std::string kLater = recordLine("S", "0D", "2027-01-01", "2025-06-04 10:00:00") +
                           recordLine("A", "0E", "2026-04-16", "2025-06-05 10:00:00");
const std::string kHistory = "1\n" + kShown + kExpired + kLater;
// What a run that shows kHistory leaves: the later ones, earliest first.
const std::string kAfterRun = "1\n" + recordLine("A", "0E", "2026-04-16", "2025-06-05 10:00:00") +
                              recordLine("S", "0D", "2027-01-01", "2025-06-04 10:00:00");

const std::vector<std::vector<std::string>> kShownRows = {
    {"利用者証明用", "0B", "令和8年2月1日"},
    {"署名用", "0A", "令和8年3月1日"},
};

std::vector<std::string> serialsOf(const VelkUpdateReminderDialog::InfoList& list) {
  std::vector<std::string> serials;
  for (const auto& info : list) {
    serials.push_back(info->serialNumber);
  }
  return serials;
}

using AlertTest = velktest::ReminderTest;

TEST_F(AlertTest, MissingHistoryIsNotCreated) {
  alert("close\n");
  EXPECT_EQ(alertLines(), alertRun({errorLine(kDialog, "alert()", " *** file not found *** ")}));
  EXPECT_FALSE(std::filesystem::exists(home.historyFile()));
  EXPECT_EQ(screen.output(), "");
  EXPECT_TRUE(lockIsFree());
}

TEST_F(AlertTest, NothingToShowLeavesTheFileAsItWas) {
  // Setting off: nothing else is looked at.
  writeHistory("0\n" + kShown);
  alert("close\n");
  EXPECT_EQ(alertLines(),
            alertRun({errorLine(kDialog, "alert()", " *** not update setting *** ")}));
  EXPECT_EQ(history(), "0\n" + kShown);

  // Unreadable history (not UTF-8).
  writeHistory("1\n" + kShown + "S,\xff,2026-02-01,2025-06-01 10:00:00\n");
  alert("close\n");
  EXPECT_EQ(alertLines(), alertRun({debugLine(kDialog, "alert()", " *** file read error *** ")}));
  EXPECT_EQ(history(), "1\n" + kShown + "S,\xff,2026-02-01,2025-06-01 10:00:00\n");

  // Nothing within three months: the selection, now empty, replaces hList.
  writeHistory("1\n" + kShown);
  alert("close\n");
  EXPECT_EQ(serialsOf(VelkUpdateReminderDialog::hList), (std::vector<std::string>{"0B", "0A"}));
  alertLines();
  writeHistory("1\n" + kExpired + kLater);
  alert("close\n");
  EXPECT_EQ(alertLines(),
            alertRun({debugLine(kDialog, "alert()", " *** non limit Certificate *** ")}));
  EXPECT_TRUE(VelkUpdateReminderDialog::hList.empty());
  EXPECT_EQ(history(), "1\n" + kExpired + kLater);

  EXPECT_EQ(screen.tableRows(), kShownRows) << "only the run with soon expiring ones showed";
  EXPECT_TRUE(lockIsFree());
}

TEST_F(AlertTest, LockHeldElsewhereBeforeTheRun) {
  writeHistory(kHistory);
  {
    velktest::LockHolder other(home.lockFile());
    ASSERT_TRUE(other.holding());
    alert("close\n");  // waits ten seconds for the lock
  }
  EXPECT_EQ(alertLines(), alertRun({debugLine(kDialog, "alert()", " *** lock1 error *** ")}));
  EXPECT_EQ(history(), kHistory);
  EXPECT_EQ(screen.output(), "");
  EXPECT_TRUE(lockIsFree());
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
  const std::string contentFailure = "alert() the WindowController has invalid ViewController";
  const std::vector<std::pair<std::string, std::string>> storyboards = {
      // A plain view controller as the initial controller.
      {R"(<storyboard initialController="dialog">
            <viewController id="dialog" customClass="VelkUpdateReminderDialog"/>
          </storyboard>)",
       windowFailure},
      // No initial controller at all.
      {R"(<storyboard><windowController id="window"/></storyboard>)", windowFailure},
      // No storyboard file.
      {"", windowFailure},
      // A window controller without content.
      {R"(<storyboard initialController="window"><windowController id="window"/></storyboard>)",
       contentFailure},
  };
  for (const auto& [xml, failure] : storyboards) {
    const velktest::TempDir resources;
    if (!xml.empty()) {
      velktest::writeFileBytes(resources.file("VelkUpdateReminder.storyboard"), xml);
    }
    writeHistory(kHistory);
    screen.type("close\n");
    std::make_shared<DialogFromBundle>(appkit::Bundle::bundleWithResourcePath(resources.path()))
        ->alert();
    EXPECT_EQ(alertLines(),
              alertRun({fatalLine("DialogFromBundle", "alert()", failure)}, "DialogFromBundle"))
        << xml;
    EXPECT_EQ(serialsOf(VelkUpdateReminderDialog::hList), (std::vector<std::string>{"0B", "0A"}));
    EXPECT_EQ(history(), kHistory);
    EXPECT_EQ(screen.output(), "");
    EXPECT_TRUE(lockIsFree());
  }
}

TEST_F(AlertTest, WindowThatNoInputCanReachChangesNothing) {
  writeHistory(kHistory);
  appkit::Application::shared().setEventBackend(nullptr);
  std::make_shared<VelkUpdateReminderDialog>(std::nullopt, nullptr)->alert();
  EXPECT_EQ(alertLines(),
            alertRun({errorLine(kDialog, "alert()", " *** no input for the window *** ")}));
  EXPECT_EQ(history(), kHistory);
  EXPECT_TRUE(lockIsFree());
}

TEST_F(AlertTest, LockHeldElsewhereAfterTheWindowWritesNothing) {
  writeHistory(kHistory);
  std::unique_ptr<velktest::LockHolder> other;
  {
    const ScopedMonitor whileUp = velktest::onFirstEvent(
        [&] { other = std::make_unique<velktest::LockHolder>(home.lockFile()); });
    alert("alt+c\n");  // waits ten seconds for the lock
  }
  ASSERT_TRUE(other && other->holding());
  EXPECT_EQ(alertLines(), alertRun({errorLine(kDialog, "alert()", " *** lock2 error *** ")}));
  EXPECT_EQ(screen.tableRows(), kShownRows);
  // The shown ones stay, for a later run to show again.
  EXPECT_EQ(history(), kHistory);
  other.reset();
  EXPECT_TRUE(lockIsFree());
  alert("alt+c\n");
  EXPECT_EQ(history(), kAfterRun);
}

TEST_F(AlertTest, FailedReadOrWriteAfterTheWindow) {
  // The history turns unreadable while the window is up: nothing is written.
  writeHistory(kHistory);
  const std::string unreadable = kHistory + "\xc0\n";
  {
    const ScopedMonitor whileUp = velktest::onFirstEvent([&] { writeHistory(unreadable); });
    alert("click\n");
  }
  EXPECT_EQ(alertLines(), alertRun({debugLine(kDialog, "alert()", " *** file read error *** ")}));
  EXPECT_EQ(history(), unreadable);
  EXPECT_TRUE(lockIsFree());

  // The history turns into a file that can be read but not written.
  writeHistory(kHistory);
  {
    const ScopedMonitor whileUp = velktest::onFirstEvent([&] {
      std::filesystem::remove(home.historyFile());
      std::filesystem::create_symlink("/proc/version", home.historyFile());
    });
    alert("click\n");
  }
  EXPECT_EQ(alertLines(), alertRun({errorLine(kDialog, "alert()", " *** file write error *** ")}));
  EXPECT_TRUE(std::filesystem::is_symlink(home.historyFile()));
  EXPECT_TRUE(lockIsFree());
}

// How the user dismisses the window: the close button by keyboard or click,
// the title bar's close button, or no more input.
class AlertRunTest : public velktest::ReminderTest,
                     public testing::WithParamInterface<std::string> {};

TEST_P(AlertRunTest, ShowsTheSoonExpiringOnesAndDropsThemAfterwards) {
  writeHistory(kHistory);
  log.skip();
  {
    // Another process records two certificates while the window is up: a new
    // one, which stays, and one of those shown, which goes all the same.
    const ScopedMonitor whileUp = velktest::onFirstEvent([] {
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
  EXPECT_EQ(screen.output().substr(0, screen.output().find('\n')),
            "== 証明書の有効期限のお知らせ ==");
  EXPECT_EQ(screen.tableHeader(),
            (std::vector<std::string>{"種別", "シリアル番号", "有効期限の満了日"}));
  EXPECT_EQ(screen.tableRows(), kShownRows);
  EXPECT_NE(screen.output().find("[ 閉じる ]"), std::string::npos);

  EXPECT_EQ(history(), "1\n" + recordLine("A", "0E", "2026-04-16", "2025-06-05 10:00:00") +
                           recordLine("S", "0F", "2026-12-01", "2026-01-15 12:00:00") +
                           recordLine("S", "0D", "2027-01-01", "2025-06-04 10:00:00"));
  EXPECT_EQ(serialsOf(VelkUpdateReminderDialog::hList), (std::vector<std::string>{"0B", "0A"}));
  EXPECT_TRUE(lockIsFree());
  EXPECT_EQ(alertLines(), alertRun({}));
}

INSTANTIATE_TEST_SUITE_P(ClosedBy, AlertRunTest,
                         testing::Values("alt+c\n", "click\n", "close\n", ""),
                         [](const testing::TestParamInfo<std::string>& info) {
                           const std::string& input = info.param;
                           return input == "alt+c\n"   ? std::string("OptionC")
                                  : input == "click\n" ? std::string("CloseButton")
                                  : input == "close\n" ? std::string("TitleBar")
                                                       : std::string("EndOfInput");
                         });

TEST_F(AlertTest, OnlyOptionCClosesAndItIsSwallowed) {
  const auto flags = [](appkit::EventModifierFlags value) { return std::to_string(value); };
  const std::string option = flags(appkit::EventModifierFlagOption);
  struct Case {
    std::string input;
    std::vector<std::string> passedOn;  // characters ignoring modifiers / flags
    std::string unread;
  };
  const std::vector<Case> cases = {
      {"x\nc\ncmd+c\nalt+shift+c\nalt+c\nclick\n",
       {"c/" + flags(0), "c/" + flags(appkit::EventModifierFlagCommand),
        "C/" + flags(appkit::EventModifierFlagOption | appkit::EventModifierFlagShift)},
       "click\n"},
      // Command+Option+C closes as Option+C does; Option+X goes on.
      {"x\nalt+x\nalt+cmd+c\nalt+c\n", {"x/" + option}, "alt+c\n"},
  };
  for (const Case& test : cases) {
    writeHistory(kHistory);
    std::vector<std::string> passedOn;
    std::unique_ptr<ScopedMonitor> behindTheDialog;
    {
      // Installed after the dialog's monitor: sees what that one passes on.
      const ScopedMonitor whileUp = velktest::onFirstEvent([&] {
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

TEST_F(AlertTest, TheRunsDateIsTakenOnceAndUsedAfterTheWindow) {
  // 0G is neither shown (later than three months) nor expired on the run's
  // date, but would be on the day the window closes.
  const std::string later = recordLine("A", "0G", "2026-05-01", "2025-06-06 10:00:00");
  writeHistory(kHistory + later);
  log.skip();
  {
    const ScopedMonitor whileUp =
        velktest::onFirstEvent([&] { setToday(std::chrono::year{2026} / 6 / 1); });
    alert("alt+c\n");
  }
  // The controller's operations in the order of a run that shows the window,
  // and the one look at the clock.
  std::vector<std::string> calls;
  for (const LogLine& line : log.newLines()) {
    const bool controller = line.className == "VelkCertificateHistoryFileController" &&
                            line.operation != "readExpirationInfo(line:)" &&
                            line.operation != "createDirectry()";
    if ((controller || line.operation == "getSystemDate()") &&
        line.message.find("START") != std::string::npos) {
      calls.push_back(line.operation);
    }
  }
  EXPECT_EQ(calls, (std::vector<std::string>{
                       "isExists()", "readFile(varidReadRowCount:)", "isUpdateSetting()",
                       "getSystemDate()", "sort(sorttype:)", "getNotAfterList(systemDate:month:)",
                       "readFile(varidReadRowCount:)", "sort(sorttype:)",
                       "getNotAfterCheck(baseDate:)", "removeSameData(infoList:)", "saveFile()"}));
  EXPECT_EQ(history(), "1\n" + recordLine("A", "0E", "2026-04-16", "2025-06-05 10:00:00") + later +
                           recordLine("S", "0D", "2027-01-01", "2025-06-04 10:00:00"));
}

}  // namespace
