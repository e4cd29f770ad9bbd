#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>

#include "CertificateFactory.h"
#include "VelkUpdateReminder/VelkUpdateReminderDialog.h"
#include "foundation/Clock.h"
#include "support/LogLines.h"
#include "support/TempHome.h"
#include "support/TextScreen.h"

namespace velktest {

// A fresh home whose "today" is 15 January 2026 (noon, local time) until the
// test moves it, the text backend as the screen, and an empty hList.
class HistoryTest : public testing::Test {
 protected:
  HistoryTest() { VelkUpdateReminderDialog::hList.clear(); }

  // Runs the reminder the way a host does, on a dialog of its own, with the
  // user's input `input`.
  void alert(const std::string& input = "") {
    screen.type(input);
    std::make_shared<VelkUpdateReminderDialog>(std::nullopt, nullptr)->alert();
  }

  void setToday(std::chrono::year_month_day day) { now = CertificateFactory::localNoon(day); }

  TempHome home;
  LogLines log{home.logFile()};
  TextScreen screen;
  std::chrono::sys_seconds now = CertificateFactory::localNoon(std::chrono::year{2026} / 1 / 15);
  foundation::ScopedClock clock{[this] { return foundation::Date(now); }};
};

}  // namespace velktest
