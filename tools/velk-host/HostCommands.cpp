#include "HostCommands.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <iomanip>
#include <iostream>
#include <memory>
#include <optional>
#include <sstream>
#include <string_view>
#include <utility>
#include <vector>

#include "CardWatcher.h"
#include "CertificateFile.h"
#include "CertificateUsage.h"
#include "TokenScanner.h"
#include "VelkCommon/FileDescriptor.h"
#include "VelkCommon/VelkFileUtility.h"
#include "VelkCommon/VelkHexUtility.h"
#include "VelkCommon/VelkLog.h"
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

// How each line on standard error starts: the agent names itself.
std::string_view errorPrefix = "velk-host: ";

int failed(const std::string& message) {
  std::cerr << errorPrefix << message << '\n';
  return 1;
}

std::string lockedMessage() {
  return "the history is locked by another process (waited " +
         std::to_string(VelkUpdateReminderCommon::PROCCESS_LOCL_WAIT / 1000) +
         " s): " + VelkUpdateReminderCommon::getCeritificateHistoryLockFilePath();
}

foundation::DateFormatter dayFormatter() {
  foundation::DateFormatter formatter;
  formatter.setDateFormat("yyyy-MM-dd");
  return formatter;
}

std::string dayOf(const foundation::Date& date) { return dayFormatter().string(date); }

// The rest of the file from `offset` on.
std::string readFrom(int fd, off_t offset) {
  std::string text;
  std::array<char, 65536> buffer{};
  for (ssize_t got = 1; fd >= 0 && got > 0; offset += got) {
    got = ::pread(fd, buffer.data(), buffer.size(), offset);
    text.append(buffer.data(), static_cast<std::size_t>(std::max<ssize_t>(got, 0)));
  }
  return text;
}

// What the log shows of what this process does from now on. A recording
// tells its host nothing, but each of its log lines carries the ids of the
// process and thread that wrote it, so those lines say what it did, whatever
// other processes do meanwhile. The log file open now is read from where it
// ends now (the file it has become, should the log rotate meanwhile), then
// the log as it is afterwards when that is another file.
class LogWatch {
 public:
  LogWatch()
      : path_(VelkLog::getLogFilePath(LogFilePrefix::VELK_UPDATE_REMINDER)),
        file_(::open(path_.c_str(), O_RDONLY | O_CLOEXEC)),
        end_(file_.valid() ? ::lseek(file_.get(), 0, SEEK_END) : 0) {}

  // Whether this thread has logged a line for `origin` (Class.operation)
  // with the message `text` since the watch began.
  bool logged(const std::string& origin, const std::string& text) const {
    return message(origin, text) == text;
  }

  // The message of the first line this thread has logged for `origin` since
  // the watch began whose message starts with `start`; empty when none.
  std::string message(const std::string& origin, const std::string& start) const {
    std::string text = readFrom(file_.get(), end_);
    const FileDescriptor now(::open(path_.c_str(), O_RDONLY | O_CLOEXEC));
    struct stat before = {};
    struct stat after = {};
    if (::fstat(now.get(), &after) == 0 &&
        (::fstat(file_.get(), &before) != 0 || before.st_ino != after.st_ino)) {
      text += readFrom(now.get(), 0);
    }
    const std::string ids = std::to_string(::getpid()) + ":" + std::to_string(::gettid());
    const std::string head = " " + ids + " " + origin + " |";
    const std::size_t at = text.find(head + start);
    return at == std::string::npos
               ? std::string()
               : text.substr(at + head.size(), text.find('\n', at) - at - head.size());
  }

 private:
  std::string path_;
  FileDescriptor file_;
  off_t end_;
};

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
  // The controller's destructor releases the lock on every way out.
  Controller controller;
  if (!controller.lock(VelkUpdateReminderCommon::PROCCESS_LOCL_WAIT)) {
    return failed(lockedMessage());
  }
  const std::string path = VelkUpdateReminderCommon::getCertificateHistoryFilePath();
  if (!controller.isExists()) {
    out << "history: " << path << " (none yet)\n";
    return 0;
  }
  if (!controller.readFile(VelkUpdateReminderCommon::HISTORY_MAX_COUNT)) {
    return failed("cannot read the history " + path);
  }
  for (const auto& info :
       found != nullptr ? controller.getCertificateHistoryInfoList() : Controller::InfoList()) {
    *found = *found || (info->getDcClass() == dcClass && info->getSerialNumber() == serial);
  }
  out << "history: " << path << '\n';
  printRecords(controller, out);
  return 0;
}

}  // namespace

namespace {

// recordOne()'s status when the history is locked.
constexpr int kLocked = 3;

// Hands the certificate `der` from `source` (a file, a token's object) to the
// recording entry point with class `dcClass`, then prints to standard output
// what became of it; `history` is set to the history afterwards. Returns 0
// when it is recorded or was dropped at once as expired; 1 after a line on
// standard error when it was not recorded; kLocked (with that line) when the
// history was locked, so that nothing was touched.
int recordOne(const std::string& dcClass, const std::vector<std::int8_t>& der,
              const std::string& source, std::string& history) {
  static const std::string kNotRecorded = "nothing recorded: ";
  // What the recording will refuse for want of a serial number or an expiry
  // is refused here first, before anything in the data folder is made or
  // touched; what it reads is what the messages name.
  std::string serial;
  std::optional<foundation::Date> notAfter;
  try {
    const VelkX509Certificate certificate(der);
    const auto bytes = certificate.getSerialNumber();
    notAfter = certificate.getNotAfter();
    if (!bytes || bytes->empty() || !notAfter) {
      return failed(kNotRecorded + source + " holds a certificate without " +
                    (notAfter ? "a serial number" : "an expiry date"));
    }
    serial = VelkHexUtility::toHexString(*bytes);
  } catch (const std::exception& error) {
    return failed(kNotRecorded + source + " is not a certificate the parser accepts (" +
                  error.what() + ")");
  }
  const std::string expires = dayOf(*notAfter);

  const LogWatch log;
  VelkCertificateHistorySave::saveFile(dcClass, der);
  static const std::string kSave = "VelkCertificateHistorySave.saveFile(dcClass:dcInfo:)";
  if (log.logged(kSave, " *** lock error *** ")) {
    failed(kNotRecorded + lockedMessage());
    return kLocked;
  }
  if (log.logged(kSave, " *** data read error *** ")) {
    // The record's self-check logs the field it refused.
    std::string why = log.message("VelkCertificateHistoryInfo.selfCheck()", " *** format (");
    why = why.empty() ? "see the log" : why.substr(5, why.size() - 10);
    return failed(kNotRecorded + "the recording refused the certificate from " + source +
                  " (class " + dcClass + ", serial " + serial + ", expiry " + expires +
                  " in local time): " + why);
  }

  // The history afterwards tells what became of the certificate.
  std::ostringstream text;
  bool found = false;
  const int status = printHistory(text, dcClass, serial, &found);
  if (status != 0) {
    return status;
  }
  history = text.str();
  // Recorded, or dropped at once because its expiry day lies before today:
  // both are what the recording is meant to do. Anything else is a failure
  // to show.
  const std::optional<foundation::Date> today = dayFormatter().date(dayOf(foundation::now()));
  if (found) {
    std::cout << "recorded: class " << dcClass << ", serial " << serial << ", expires " << expires
              << " (" << source << ")\n";
  } else if (today && *notAfter < *today) {
    std::cout << "not kept: the certificate expired on " << expires << " (" << source << ")\n";
  } else {
    // Failed, or trimmed at once behind ten records of the same second.
    return failed("not in the history afterwards, see the log: " + source);
  }
  return 0;
}

}  // namespace

int HostCommands::record(const std::string& dcClass, const std::string& path) {
  std::vector<std::int8_t> der;
  try {
    der = CertificateFile::read(path);
  } catch (const std::exception& error) {
    return failed(std::string("nothing recorded: ") + error.what());
  }
  std::string history;
  const int status = recordOne(dcClass, der, path, history);
  std::cout << history;
  return status == 0 ? 0 : 1;
}

namespace {

// scan()'s job, the history printed at the end only when `showHistory`.
int recordCard(const std::string& module, const std::string& token, const std::string& dcClass,
               bool login, bool showHistory) {
  std::vector<TokenCertificate> certificates;
  std::string unfinished;
  try {
    certificates = TokenScanner::scan(module, token, login, unfinished);
  } catch (const std::exception& error) {
    return failed(std::string("nothing recorded: ") + error.what());
  }
  int recorded = 0;
  std::string history;
  for (const TokenCertificate& certificate : certificates) {
    const std::string source =
        "token '" + certificate.token + "', object '" + certificate.label + "'";
    const CertificateUsage usage = CertificateUsage::of(certificate.der);
    if (usage.authority || (usage.dcClass.empty() && dcClass.empty())) {
      std::cout << "skipped: " << usage.reason << " (" << source << ")\n";
      continue;
    }
    const int status =
        recordOne(dcClass.empty() ? usage.dcClass : dcClass, certificate.der, source, history);
    if (status == kLocked) {
      return 1;
    }
    recorded += status == 0 ? 1 : 0;
  }
  if (showHistory) {
    std::cout << history;
  }
  if (!unfinished.empty()) {
    return failed("not all was read, " + std::to_string(recorded) + " recorded: " + unfinished +
                  " (put it in again)");
  }
  if (recorded == 0) {
    return failed("nothing recorded: none of the " + std::to_string(certificates.size()) +
                  " certificates on the tokens was recorded");
  }
  return 0;
}

}  // namespace

int HostCommands::scan(const std::string& module, const std::string& token,
                       const std::string& dcClass, bool login) {
  return recordCard(module, token, dcClass, login, true);
}

int HostCommands::watch(std::chrono::seconds remindEvery, bool readCards) {
  errorPrefix = "velk-host watch: ";
  std::cout << std::unitbuf;  // what each card did is seen as it happens
  if (readCards) {
    return recordCard("", "", "", false, false);
  }
  // One agent per session: the lock lives in the session's runtime folder.
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");  // NOLINT(concurrency-mt-unsafe)
  const bool session = runtime != nullptr && *runtime != '\0';
  const std::string path =
      (session ? std::string(runtime) : "$XDG_RUNTIME_DIR") + "/velk-host-watch.lock";
  const FileDescriptor lock(session ? ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600)
                                    : -1);
  if (!lock.valid() || ::flock(lock.get(), LOCK_EX | LOCK_NB) != 0) {
    return failed(lock.valid() ? "another agent is running in this session (" + path + ")"
                               : "cannot open the session lock " + path);
  }
  return CardWatcher(remindEvery).run();
}

int HostCommands::list() { return printHistory(std::cout); }

int HostCommands::reminder(bool on) {
  Controller controller;
  if (!controller.lock(VelkUpdateReminderCommon::PROCCESS_LOCL_WAIT)) {
    return failed(lockedMessage());
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
  if (backend == nullptr && ui != "auto") {
    return failed("--ui " + ui + " cannot open a window");
  }
  appkit::Application& application = appkit::Application::shared();
  application.setEventBackend(std::move(backend));
  std::make_shared<VelkUpdateReminderDialog>(std::nullopt, nullptr)->alert();
  // Gives the terminal back before anything else is printed.
  application.setEventBackend(nullptr);
  return printHistory(std::cout);
}

void HostCommands::warnAboutOpenPermissions() {
  const VelkPath folder = VelkFileUtility::getVelkDirectory(false);
  for (const auto& [path, privateMode] :
       {std::pair(folder.toString(), "700"),
        std::pair(folder.append("velk.dc_list", false).toString(), "600")}) {
    struct stat info = {};
    if (::stat(path.c_str(), &info) != 0) {
      continue;
    }
    const bool readable = (info.st_mode & (S_IRGRP | S_IROTH)) != 0;
    const bool writable = (info.st_mode & (S_IWGRP | S_IWOTH)) != 0;
    if (readable || writable) {
      std::cerr << "velk-host: warning: " << path << " is "
                << (readable && writable ? "readable and writable"
                    : readable           ? "readable"
                                         : "writable")
                << " by other users; chmod " << privateMode << ' ' << path << '\n';
    }
  }
}
