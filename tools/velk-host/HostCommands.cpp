#include "HostCommands.h"

#include <unistd.h>

#include <cstdint>
#include <exception>
#include <iomanip>
#include <iostream>
#include <memory>
#include <sstream>
#include <utility>
#include <vector>

#include "CertificateFile.h"
#include "VelkCommon/VelkHexUtility.h"
#include "VelkUpdateReminder/VelkCertificateHistoryFileController.h"
#include "VelkUpdateReminder/VelkCertificateHistorySave.h"
#include "VelkUpdateReminder/VelkUpdateReminderCommon.h"
#include "VelkUpdateReminder/VelkUpdateReminderDialog.h"
#include "VelkUserCertService/VelkX509Certificate.h"
#include "appkit/Application.h"
#include "appkit/EventBackend.h"
#include "foundation/Clock.h"
#include "foundation/DateFormatter.h"

namespace {

using Controller = VelkCertificateHistoryFileController;

int failed(const std::string& message) {
  std::cerr << "velk-host: " << message << '\n';
  return 1;
}

// Releases the controller's lock when it goes, on every way out.
struct Unlock {
  void operator()(Controller* controller) const { controller->unlock(); }
};
using HeldLock = std::unique_ptr<Controller, Unlock>;

// Takes the controller's lock with the framework's wait; empty (after the
// message, which begins with `consequence`) when another process keeps it.
HeldLock takeLock(Controller& controller, const std::string& consequence = "") {
  if (!controller.lock(VelkUpdateReminderCommon::PROCCESS_LOCL_WAIT)) {
    failed(consequence + "the history is locked by another process (waited " +
           std::to_string(VelkUpdateReminderCommon::PROCCESS_LOCL_WAIT / 1000) +
           " s): " + VelkUpdateReminderCommon::getCeritificateHistoryLockFilePath());
    return nullptr;
  }
  return HeldLock(&controller);
}

std::string dayOf(const foundation::Date& date) {
  foundation::DateFormatter formatter;
  formatter.setDateFormat("yyyy-MM-dd");
  return formatter.string(date);
}

void printRecords(Controller& controller, std::ostream& out) {
  const Controller::InfoList records = controller.getCertificateHistoryInfoList();
  out << "update reminder: " << (controller.isUpdateSetting() ? "on" : "off") << '\n';
  if (records.empty()) {
    out << "no records\n";
    return;
  }
  out << records.size() << (records.size() == 1 ? " record" : " records")
      << ", in the file's order:\n"
      << "  class  expires     recorded             serial\n";
  for (const auto& info : records) {
    out << "  " << std::left << std::setw(5) << info->getDcClass() << "  " << std::setw(10)
        << info->getNotAfter() << "  " << std::setw(19) << info->getOpenTime() << "  "
        << info->getSerialNumber() << '\n';
  }
}

// Reads the history under the lock and prints it to `out`; `found` (when
// given) is set to whether it holds a record of class `dcClass` and serial
// `serial`.
int printHistory(std::ostream& out, const std::string& dcClass = "", const std::string& serial = "",
                 bool* found = nullptr) {
  Controller controller;
  const HeldLock held = takeLock(controller);
  if (!held) {
    return 1;
  }
  const std::string path = VelkUpdateReminderCommon::getCertificateHistoryFilePath();
  if (!controller.isExists()) {
    out << "history: " << path << " (none yet)\n";
    return 0;
  }
  if (!controller.readFile(VelkUpdateReminderCommon::HISTORY_MAX_COUNT)) {
    return failed("cannot read the history " + path);
  }
  if (found != nullptr) {
    *found = false;
    for (const auto& info : controller.getCertificateHistoryInfoList()) {
      *found = *found || (info->getDcClass() == dcClass && info->getSerialNumber() == serial);
    }
  }
  out << "history: " << path << '\n';
  printRecords(controller, out);
  return 0;
}

}  // namespace

int HostCommands::record(const std::string& dcClass, const std::string& path) {
  static const std::string kNotRecorded = "nothing recorded: ";
  std::vector<std::int8_t> der;
  try {
    der = CertificateFile::read(path);
  } catch (const std::exception& error) {
    return failed(kNotRecorded + error.what());
  }

  // What the recording will refuse is refused here first, before anything
  // in the data folder is made or touched; the recording reports nothing.
  std::string serial;
  std::string expires;
  try {
    const VelkX509Certificate certificate(der);
    const auto bytes = certificate.getSerialNumber();
    const auto notAfter = certificate.getNotAfter();
    if (!bytes || bytes->empty() || !notAfter) {
      return failed(kNotRecorded + path + " holds a certificate without " +
                    (notAfter ? "a serial number" : "an expiry date"));
    }
    serial = VelkHexUtility::toHexString(*bytes);
    expires = dayOf(*notAfter);
  } catch (const std::exception& error) {
    return failed(kNotRecorded + path + " is not a certificate the parser accepts (" +
                  error.what() + ")");
  }
  // The lock is waited for once, here, so that a lock kept elsewhere is told
  // apart from a failed recording; the recording then finds it free.
  {
    Controller controller;
    if (!takeLock(controller, kNotRecorded)) {
      return 1;
    }
  }

  VelkCertificateHistorySave::saveFile(dcClass, der);

  // The history afterwards tells what became of the certificate.
  std::ostringstream history;
  bool found = false;
  const int status = printHistory(history, dcClass, serial, &found);
  if (status != 0) {
    return status;
  }
  // Recorded, or dropped at once because it has expired: both are what the
  // recording is meant to do. Anything else is a failure to show.
  int result = 0;
  if (found) {
    std::cout << "recorded: class " << dcClass << ", serial " << serial << ", expires " << expires
              << " (" << path << ")\n";
  } else if (expires < dayOf(foundation::now())) {
    std::cout << "not kept: the certificate expired on " << expires << " (" << path << ")\n";
  } else {
    // Failed, or trimmed at once behind ten records of the same second.
    result = failed("not in the history afterwards, see the log: " + path);
  }
  std::cout << history.str();
  return result;
}

int HostCommands::list() { return printHistory(std::cout); }

int HostCommands::reminder(bool on) {
  Controller controller;
  const HeldLock held = takeLock(controller);
  if (!held) {
    return 1;
  }
  const std::string path = VelkUpdateReminderCommon::getCertificateHistoryFilePath();
  if (!controller.isExists() && !controller.createNewCertificateFile()) {
    return failed("cannot create the history " + path);
  }
  if (!controller.readFile(VelkUpdateReminderCommon::HISTORY_MAX_COUNT)) {
    return failed("cannot read the history " + path);
  }
  controller.setUpdateSetting(on);
  if (!controller.saveFile()) {
    return failed("cannot write the history " + path);
  }
  std::cout << "update reminder: " << (on ? "on" : "off") << " (" << path << ")\n";
  return 0;
}

int HostCommands::remind(const std::string& ui) {
  const bool onTerminal = ::isatty(STDIN_FILENO) == 1 && ::isatty(STDOUT_FILENO) == 1;
  if (ui == "terminal" && !onTerminal) {
    return failed("--ui terminal needs standard input and output on a terminal");
  }
  std::unique_ptr<appkit::EventBackend> backend =
      ui == "auto" ? appkit::EventBackend::automatic() : appkit::EventBackend::named(ui);
  if (backend == nullptr && ui == "desktop") {
    return failed("--ui desktop cannot open a window");
  }
  appkit::Application& application = appkit::Application::shared();
  application.setEventBackend(std::move(backend));
  std::make_shared<VelkUpdateReminderDialog>(std::nullopt, nullptr)->alert();
  // Gives the terminal back before anything else is printed.
  application.setEventBackend(nullptr);
  return printHistory(std::cout);
}
