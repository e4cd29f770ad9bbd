#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "VelkCommon/VelkLockController.h"
#include "VelkUpdateReminder/VelkUpdateReminderDialog.h"
#include "foundation/Clock.h"
#include "CertificateFactory.h"
#include "support/LogLines.h"
#include "support/TempDir.h"
#include "support/TempHome.h"
#include "support/TextScreen.h"

namespace velktest {

// A history record line: class, serial number, expiry date, recording time.
inline std::string recordLine(const std::string& dcClass, const std::string& serial,
                              const std::string& notAfter,
                              const std::string& openTime = "2025-06-01 10:00:00") {
  return dcClass + "," + serial + "," + notAfter + "," + openTime + "\n";
}

// A fresh home whose "today" is 15 January 2026 (local time) until the test
// moves it, the text backend as the screen, and an empty hList.
class ReminderTest : public testing::Test {
 protected:
  ReminderTest() { VelkUpdateReminderDialog::hList.clear(); }

  void writeHistory(const std::string& text) const {
    std::filesystem::create_directories(home.appDir());
    writeFileBytes(home.historyFile(), text);
  }
  std::string history() const { return readFileBytes(home.historyFile()); }

  // Runs the reminder the way a host does, on a dialog of its own, with the
  // user's input `input`.
  void alert(const std::string& input = "") {
    screen.type(input);
    std::make_shared<VelkUpdateReminderDialog>(std::nullopt, nullptr)->alert();
  }

  // True when no one holds the history's lock.
  bool lockIsFree() const {
    VelkLockController other(home.lockFile());
    return other.lock(0);
  }

  // The lines logged since the last call for the operation "alert()".
  std::vector<LogLine> alertLines() {
    std::vector<LogLine> lines;
    for (LogLine& line : log.newLines()) {
      if (line.operation == "alert()") {
        lines.push_back(std::move(line));
      }
    }
    return lines;
  }

  // START, the given lines, END, as alert() logs them from `className`.
  static std::vector<LogLine> alertRun(std::vector<LogLine> between,
                                       const std::string& className = "VelkUpdateReminderDialog") {
    between.insert(between.begin(), debugLine(className, "alert()", " *** alert()  START *** "));
    between.push_back(debugLine(className, "alert()", " *** alert()  END *** "));
    return between;
  }

  void setToday(std::chrono::year_month_day day) { now = CertificateFactory::localNoon(day); }

  TempHome home;
  LogLines log{home.logFile()};
  TextScreen screen;
  std::chrono::sys_seconds now = CertificateFactory::localNoon(std::chrono::year{2026} / 1 / 15);
  foundation::ScopedClock clock{[this] { return foundation::Date(now); }};
};

}  // namespace velktest
