#include "VelkUpdateReminder/VelkCertificateHistoryFileController.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <array>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string_view>
#include <system_error>
#include <utility>

#include "VelkCommon/FileDescriptor.h"
#include "VelkCommon/VelkLog.h"
#include "VelkUpdateReminder/VelkUpdateReminderCommon.h"
#include "foundation/Calendar.h"
#include "foundation/Date.h"
#include "foundation/Utf8.h"

namespace {

// The text of the current errno, as the platform words it.
std::string errnoDescription() { return std::generic_category().message(errno); }

// The largest history file that is read. A record line takes under a
// hundred bytes (a serial number has at most 20 octets, 40 hex digits), so
// ten records need about a kilobyte; 1 MiB holds over ten thousand lines and
// leaves room for whatever other programs of the family put there. Anything
// larger is not a history, and reading it whole could exhaust memory (a
// sparse file of 64 GiB takes no disk space at all).
constexpr std::size_t kLargestHistory = std::size_t{1} << 20;

std::string tooLarge(const std::string& path) {
  return path + ": larger than a history can be (over " + std::to_string(kLargestHistory) +
         " bytes)";
}

// Reads the whole file into `text`, refusing one of more than
// kLargestHistory bytes without reading it. Returns a description of the
// failure, or nothing on success.
std::optional<std::string> readWholeFile(const std::string& path, std::string& text) {
  text.clear();
  FileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (!file.valid()) {
    return path + ": " + errnoDescription();
  }
  struct stat info {};
  if (::fstat(file.get(), &info) == 0 && S_ISREG(info.st_mode)) {
    if (static_cast<std::uintmax_t>(info.st_size) > kLargestHistory) {
      return tooLarge(path);
    }
    text.reserve(static_cast<std::size_t>(info.st_size));
  }
  // Not cleared first: read() fills what is used, and clearing 64 KiB costs
  // more than reading a history.
  std::array<char, 65536> buffer;
  for (;;) {
    const ssize_t got = ::read(file.get(), buffer.data(), buffer.size());
    if (got < 0) {
      if (errno == EINTR) {
        continue;
      }
      return path + ": " + errnoDescription();
    }
    if (got == 0) {
      return std::nullopt;
    }
    // A file that grows while it is read, or is no regular file, stops here.
    if (text.size() + static_cast<std::size_t>(got) > kLargestHistory) {
      text.clear();
      return tooLarge(path);
    }
    text.append(buffer.data(), static_cast<std::size_t>(got));
  }
}

// Makes `text` the whole content of the file, in place and in one write:
// created when missing, otherwise opened without truncation, written from
// offset 0 and then cut to the text's length. A process killed at any moment
// therefore leaves the old text, the new text, or (only when the new text is
// shorter and the kill falls between the write and the cut) the new text
// followed by the end of the old one, whose lines the reader takes one by one
// like any others. It never leaves an empty file, as truncating first would.
// Returns a description of the failure, or nothing on success.
std::optional<std::string> writeWholeFile(const std::string& path, std::string_view text) {
  FileDescriptor file(::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666));
  if (!file.valid()) {
    return path + ": " + errnoDescription();
  }
  const auto length = static_cast<off_t>(text.size());
  off_t offset = 0;
  while (!text.empty()) {
    const ssize_t put = ::pwrite(file.get(), text.data(), text.size(), offset);
    if (put < 0) {
      if (errno == EINTR) {
        continue;
      }
      return path + ": " + errnoDescription();
    }
    text.remove_prefix(static_cast<std::size_t>(put));
    offset += put;
  }
  if (::ftruncate(file.get(), length) != 0 || !file.close()) {
    return path + ": " + errnoDescription();
  }
  return std::nullopt;
}

// A description of the first place where `text` is not well-formed UTF-8, or
// nothing when all of it is.
std::optional<std::string> utf8Error(const std::string& path, std::string_view text) {
  const std::size_t offset = foundation::Utf8::validLength(text);
  if (offset == text.size()) {
    return std::nullopt;
  }
  std::array<char, 8> hex{};
  std::snprintf(hex.data(), hex.size(), "0x%02X", static_cast<unsigned char>(text[offset]));
  return path + ": not valid UTF-8 text (byte " + hex.data() + " at offset " +
         std::to_string(offset) + ")";
}

// The number of bytes of the newline character at the start of `text`, or 0
// when it does not start with one. Newlines are U+000A to U+000D, U+0085,
// U+2028 and U+2029; `text` is well-formed UTF-8, so their byte patterns
// cannot occur inside another character.
std::size_t newlineLength(std::string_view text) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(0);
  if (lead >= 0x0A && lead <= 0x0D) {
    return 1;
  }
  if (lead == 0xC2 && text.size() >= 2 && byte(1) == 0x85) {
    return 2;
  }
  if (lead == 0xE2 && text.size() >= 3 && byte(1) == 0x80 && (byte(2) == 0xA8 || byte(2) == 0xA9)) {
    return 3;
  }
  return 0;
}

// Walks well-formed UTF-8 text line by line. Every newline character ends a
// line by itself, and the text after the last one is one more line, so text
// with n newline characters has n + 1 lines.
class LineCursor {
 public:
  explicit LineCursor(std::string_view text) : rest_(text) {}

  // The next line without its newline character; false after the last line.
  bool next(std::string_view& line) {
    if (done_) {
      return false;
    }
    for (std::size_t i = 0; i < rest_.size(); ++i) {
      if (const std::size_t length = newlineLength(rest_.substr(i)); length != 0) {
        line = rest_.substr(0, i);
        rest_.remove_prefix(i + length);
        return true;
      }
    }
    line = rest_;
    done_ = true;
    return true;
  }

 private:
  std::string_view rest_;
  bool done_ = false;
};

// The line cut at every comma; empty items count.
std::vector<std::string> splitAtCommas(const std::string& line) {
  std::vector<std::string> items;
  std::size_t start = 0;
  for (;;) {
    const std::size_t comma = line.find(',', start);
    if (comma == std::string::npos) {
      items.push_back(line.substr(start));
      return items;
    }
    items.push_back(line.substr(start, comma - start));
    start = comma + 1;
  }
}

// Logs " *** return true *** " or " *** return false *** " and then the
// operation's END line; returns `result`.
bool logResult(const Logger& log, const VelkCertificateHistoryFileController* caller, bool result,
               std::string_view endLine, std::string_view operation) {
  log.debug(result ? " *** return true *** " : " *** return false *** ", caller, operation);
  log.debug(endLine, caller, operation);
  return result;
}

// The start of the day the components name, through the shared conversions.
std::optional<foundation::Date> startOfDay(const foundation::DateComponents& components) {
  return VelkUpdateReminderCommon::DateComponents_to_Date(
      VelkUpdateReminderCommon::removeTimeDateComponents(components));
}

}  // namespace

VelkCertificateHistoryFileController::VelkCertificateHistoryFileController()
    : VelkLockController(VelkUpdateReminderCommon::getCeritificateHistoryLockFilePath()),
      log(VelkLog::getLogger(LogFilePrefix::VELK_UPDATE_REMINDER)),
      filepathHist(VelkUpdateReminderCommon::getCertificateHistoryFilePath()) {
  static constexpr const char* kOperation = "init()";
  if (!createDirectry()) {
    log.error(" *** createDirectry() error ", this, kOperation);
  }
  log.debug(" *** VelkCertificateHistoryFileController.init(filepath:String)  *** ", this,
            kOperation);
}

VelkCertificateHistoryFileController::~VelkCertificateHistoryFileController() = default;

bool VelkCertificateHistoryFileController::createDirectry() {
  static constexpr const char* kOperation = "createDirectry()";
  log.debug(" *** createDirectry() -> Bool START  *** ", this, kOperation);
  const std::filesystem::path directory = std::filesystem::path(filepathHist).parent_path();
  std::error_code failure;
  if (directory.empty()) {
    failure = std::make_error_code(std::errc::invalid_argument);
  } else {
    std::error_code ignored;
    const std::filesystem::file_status status = std::filesystem::status(directory, ignored);
    if (std::filesystem::is_directory(status)) {
      log.debug(" *** return true *** ", this, kOperation);
      log.debug(" *** createDirectry() -> Bool *** ", this, kOperation);
      return true;
    }
    if (std::filesystem::exists(status)) {
      log.error(" *** not directry *** ", this, kOperation);
      log.debug(" *** createDirectry() -> Bool *** ", this, kOperation);
      return false;
    }
    std::filesystem::create_directories(directory, failure);
  }
  if (failure) {
    log.error(
        " *** create directry error " + directory.string() + ": " + failure.message() + "*** ",
        this, kOperation);
    log.debug(" *** createDirectry()  END *** ", this, kOperation);
    return false;
  }
  log.debug(" *** return true *** ", this, kOperation);
  log.debug(" *** createDirectry() -> Bool  END *** ", this, kOperation);
  return true;
}

bool VelkCertificateHistoryFileController::isExists() {
  static constexpr const char* kOperation = "isExists()";
  log.debug(" *** isExists() -> Bool  START *** ", this, kOperation);
  std::error_code ignored;
  const bool exists = std::filesystem::exists(filepathHist, ignored);
  if (!exists) {
    log.debug(" *** file not exists" + filepathHist + " *** ", this, kOperation);
  }
  log.debug(" *** isExists() -> Bool  END *** ", this, kOperation);
  return exists;
}

bool VelkCertificateHistoryFileController::createNewCertificateFile() {
  static constexpr const char* kOperation = "createNewCertificateFile()";
  log.debug(" *** createNewCertificateFile() -> Bool  START *** ", this, kOperation);
  isUpdate = false;
  const bool saved = saveFile();
  log.debug(saved ? " *** true *** " : " *** false *** ", this, kOperation);
  log.debug(" *** createNewCertificateFile() -> Bool  END *** ", this, kOperation);
  return saved;
}

bool VelkCertificateHistoryFileController::readFile(std::int64_t varidReadRowCount) {
  static constexpr const char* kOperation = "readFile(varidReadRowCount:)";
  log.debug(" *** readFile(varidReadRowCount:Int) -> Bool  START *** ", this, kOperation);
  const auto finish = [this](bool result) {
    return logResult(log, this, result, " *** readFile(varidReadRowCount:Int) -> Bool  END *** ",
                     kOperation);
  };
  certificateHistoryInfoList.clear();

  std::string text;
  std::optional<std::string> failure = readWholeFile(filepathHist, text);
  if (!failure) {
    failure = utf8Error(filepathHist, text);
  }
  if (failure) {
    log.error(" *** caught an exception (" + *failure + ") *** ", this, kOperation);
    log.error(" String(contentsOfFile: self.filepathHist, encoding: .utf8) error", this,
              kOperation);
    return finish(false);
  }

  LineCursor lines(text);
  std::string_view line;
  if (lines.next(line)) {
    isUpdate = line == "1";
    // An empty setting line ends the reading: the file yields no records.
    if (!line.empty()) {
      std::int64_t count = 0;
      while (lines.next(line)) {
        if (InfoPtr info = readExpirationInfo(std::string(line))) {
          certificateHistoryInfoList.push_back(std::move(info));
          ++count;
          log.debug(" *** HistoryInfo line : " + std::to_string(count) + " *** ", this, kOperation);
        }
        if (count >= varidReadRowCount) {
          break;
        }
      }
    }
  }
  return finish(true);
}

bool VelkCertificateHistoryFileController::isUpdateSetting() {
  static constexpr const char* kOperation = "isUpdateSetting()";
  log.debug(" *** isUpdateSetting() -> Bool  START *** ", this, kOperation);
  return logResult(log, this, isUpdate, " *** isUpdateSetting() -> Bool  END *** ", kOperation);
}

VelkCertificateHistoryFileController::InfoPtr
VelkCertificateHistoryFileController::readExpirationInfo(const std::string& line) {
  static constexpr const char* kOperation = "readExpirationInfo(line:)";
  static constexpr const char* kEnd =
      " *** readExpirationInfo(line:String) -> VelkCertificateHistoryInfo?  END *** ";
  log.debug(" *** readExpirationInfo(line:String) -> VelkCertificateHistoryInfo  START *** ", this,
            kOperation);
  const std::vector<std::string> items = splitAtCommas(line);
  if (items.size() != 4) {
    log.error(" *** format error : item count= " + std::to_string(items.size()) + " *** ", this,
              kOperation);
    log.debug(" *** return nil *** ", this, kOperation);
    log.debug(kEnd, this, kOperation);
    return nullptr;
  }
  auto info = std::make_shared<VelkCertificateHistoryInfo>();
  info->setDcClass(items[0]);
  info->setSerialNumber(items[1]);
  info->setNotAfter(items[2]);
  info->setOpenTime(items[3]);
  if (info->selfCheck()) {
    log.debug(" *** return info *** ", this, kOperation);
    log.debug(kEnd, this, kOperation);
    return info;
  }
  log.error(" ***  Velk Certificate Format error  *** ", this, kOperation);
  log.debug(" ***  return nil *** ", this, kOperation);
  log.debug(kEnd, this, kOperation);
  return nullptr;
}

VelkCertificateHistoryFileController::InfoPtr
VelkCertificateHistoryFileController::existSameCirtificateFile(const InfoPtr& compareInfo) {
  static constexpr const char* kOperation = "existSameCirtificateFile(compareInfo:)";
  log.debug(
      " *** existSameCirtificateFile(compareInfo:VelkCertificateHistoryInfo ) -> "
      "VelkCertificateHistoryInfo?  START *** ",
      this, kOperation);
  if (certificateHistoryInfoList.empty()) {
    log.debug(" *** return nil *** ", this, kOperation);
    log.debug(
        " ***  existSameCirtificateFile(compareInfo:VelkCertificateHistoryInfo ) -> "
        "VelkCertificateHistoryInfo? END  *** ",
        this, kOperation);
    return nullptr;
  }
  for (const InfoPtr& info : certificateHistoryInfoList) {
    if (info->equals(compareInfo)) {
      log.debug(" *** return info *** ", this, kOperation);
      log.debug(
          " *** VelkCertificateHistoryInfo existSameCirtificateFile(VelkCertificateHistoryInfo "
          "compareInfo)  END *** ",
          this, kOperation);
      return info;
    }
  }
  log.debug(" *** return nil *** ", this, kOperation);
  log.debug(
      " *** existSameCirtificateFile(compareInfo:VelkCertificateHistoryInfo ) -> "
      "VelkCertificateHistoryInfo?  END *** ",
      this, kOperation);
  return nullptr;
}

void VelkCertificateHistoryFileController::updateCirtificateFile(const InfoPtr& oldInfo,
                                                                 const InfoPtr& newInfo) {
  static constexpr const char* kOperation = "updateCirtificateFile(oldInfo:newInfo:)";
  log.debug(
      " *** updateCirtificateFile(oldInfo:VelkCertificateHistoryInfo,newInfo:"
      "VelkCertificateHistoryInfo)  START *** ",
      this, kOperation);
  if (oldInfo != nullptr && newInfo != nullptr) {
    oldInfo->setDcClass(newInfo->getDcClass());
    oldInfo->setNotAfter(newInfo->getNotAfter());
    oldInfo->setSerialNumber(newInfo->getSerialNumber());
    oldInfo->setOpenTime(newInfo->getOpenTime());
  }
  log.debug(
      " ***  updateCirtificateFile(oldInfo:VelkCertificateHistoryInfo,newInfo:"
      "VelkCertificateHistoryInfo)  END *** ",
      this, kOperation);
}

void VelkCertificateHistoryFileController::addCirtificateFile(InfoPtr info) {
  static constexpr const char* kOperation = "addCirtificateFile(info:)";
  log.debug(" *** addCirtificateFile(info:VelkCertificateHistoryInfo)  START *** ", this,
            kOperation);
  if (info != nullptr) {
    certificateHistoryInfoList.push_back(std::move(info));
  }
  log.debug(" *** addCirtificateFile(info:VelkCertificateHistoryInfo)  END *** ", this, kOperation);
}

bool VelkCertificateHistoryFileController::saveFile() {
  static constexpr const char* kOperation = "saveFile()";
  log.debug(" *** saveFile() -> Bool  START *** ", this, kOperation);
  const auto finish = [this](bool result) {
    return logResult(log, this, result, " *** saveFile() -> Bool  END *** ", kOperation);
  };
  if (!createDirectry()) {
    return finish(false);
  }
  std::string text = isUpdate ? "1\n" : "0\n";
  for (const InfoPtr& info : certificateHistoryInfoList) {
    text += info->getDcClass();
    text += ',';
    text += info->getSerialNumber();
    text += ',';
    text += info->getNotAfter();
    text += ',';
    text += info->getOpenTime();
    text += '\n';
  }
  if (const std::optional<std::string> failure = writeWholeFile(filepathHist, text)) {
    log.error(" *** caught an exception (" + *failure + ") *** ", this, kOperation);
    return finish(false);
  }
  return finish(true);
}

void VelkCertificateHistoryFileController::sort(SORT_TYPE sorttype) {
  static constexpr const char* kOperation = "sort(sorttype:)";
  log.debug(" *** sort(sorttype: SORT_TYPE)  START *** ", this, kOperation);
  switch (sorttype) {
    case SORT_TYPE::SORT_OPEN_TIME:
      certificateHistoryInfoList = sortOpenTime();
      break;
    case SORT_TYPE::SORT_NOT_AFTER:
      certificateHistoryInfoList = sortNotAfter();
      break;
  }
  log.debug(" *** sort(sorttype: SORT_TYPE)  END *** ", this, kOperation);
}

VelkCertificateHistoryFileController::InfoList
VelkCertificateHistoryFileController::sortOpenTime() {
  InfoList sorted = certificateHistoryInfoList;
  std::stable_sort(sorted.begin(), sorted.end(), [](const InfoPtr& a, const InfoPtr& b) {
    // a's getter before b's, as the log shows them.
    const std::string& aOpenTime = a->getOpenTime();
    return aOpenTime > b->getOpenTime();
  });
  return sorted;
}

VelkCertificateHistoryFileController::InfoList
VelkCertificateHistoryFileController::sortNotAfter() {
  InfoList sorted = certificateHistoryInfoList;
  std::stable_sort(sorted.begin(), sorted.end(), [](const InfoPtr& a, const InfoPtr& b) {
    // a's getters before b's, as the log shows them.
    const std::string& aNotAfter = a->getNotAfter();
    if (aNotAfter == b->getNotAfter()) {
      const std::string& aSerialNumber = a->getSerialNumber();
      return aSerialNumber < b->getSerialNumber();
    }
    const std::string& aNotAfterAgain = a->getNotAfter();
    return aNotAfterAgain < b->getNotAfter();
  });
  return sorted;
}

void VelkCertificateHistoryFileController::removeTailData() {
  static constexpr const char* kOperation = "removeTailData()";
  log.debug(" *** void removeTailData()  START *** ", this, kOperation);
  if (certificateHistoryInfoList.empty()) {
    log.debug(" *** size = 0 *** ", this, kOperation);
  } else {
    certificateHistoryInfoList.pop_back();
  }
  log.debug(" *** removeTailData()  END *** ", this, kOperation);
}

VelkCertificateHistoryFileController::InfoList
VelkCertificateHistoryFileController::getCertificateHistoryInfoList() {
  static constexpr const char* kOperation = "getCertificateHistoryInfoList()";
  log.debug(" *** getCertificateHistoryInfoList() -> [VelkCertificateHistoryInfo] START *** ", this,
            kOperation);
  log.debug(" *** getCertificateHistoryInfoList() -> [VelkCertificateHistoryInfo] END *** ", this,
            kOperation);
  return certificateHistoryInfoList;
}

VelkCertificateHistoryFileController::InfoList
VelkCertificateHistoryFileController::getNotAfterList(const foundation::DateComponents& systemDate,
                                                      std::int64_t month) {
  static constexpr const char* kOperation = "getNotAfterList(systemDate:month:)";
  log.debug(
      " *** getNotAfterList(baseDate:Date , month:Int ) -> [VelkCertificateHistoryInfo] START "
      "*** ",
      this, kOperation);
  InfoList selected;
  if (const std::optional<foundation::Date> baseDay = startOfDay(systemDate)) {
    const foundation::Calendar calendar = foundation::Calendar::current();
    for (const InfoPtr& info : certificateHistoryInfoList) {
      const std::optional<foundation::Date> expiryDay = info->getNotAfterDateFmt();
      if (!expiryDay || *expiryDay < *baseDay) {
        continue;
      }
      std::optional<foundation::Date> windowStart;
      if (month >= -INT_MAX && month <= INT_MAX) {
        windowStart = calendar.dateByAddingMonths(-static_cast<int>(month), *expiryDay);
      }
      // A window start beyond the calendar's range lies before every date
      // for a look-ahead that long, and after every date for a negative one.
      const bool withinWindow = windowStart ? !(*baseDay < *windowStart) : month > 0;
      if (!withinWindow) {
        continue;
      }
      selected.push_back(info);
    }
  }
  log.debug(
      " *** getNotAfterList(baseDate:Date , month:Int ) -> [VelkCertificateHistoryInfo]  END "
      "*** ",
      this, kOperation);
  return selected;
}

void VelkCertificateHistoryFileController::setUpdateSetting(bool isUpdate) {
  static constexpr const char* kOperation = "setUpdateSetting(isUpdate:)";
  log.debug(" *** setUpdateSetting(isUpdate:Bool)  START *** ", this, kOperation);
  this->isUpdate = isUpdate;
  log.debug(" *** setUpdateSetting(isUpdate:Bool)  END *** ", this, kOperation);
}

void VelkCertificateHistoryFileController::removeSameData(const InfoList& infoList) {
  static constexpr const char* kOperation = "removeSameData(infoList:)";
  log.debug(" *** removeSameData(infoList:[VelkCertificateHistoryInfo]) START *** ", this,
            kOperation);
  if (!infoList.empty()) {
    InfoList kept;
    for (InfoPtr& info : certificateHistoryInfoList) {
      const bool same = std::any_of(infoList.begin(), infoList.end(),
                                    [&](const InfoPtr& other) { return info->equals(other); });
      if (!same) {
        kept.push_back(std::move(info));
      }
    }
    certificateHistoryInfoList = std::move(kept);
  }
  log.debug(" *** removeSameData(infoList:[VelkCertificateHistoryInfo]) END *** ", this,
            kOperation);
}

VelkCertificateHistoryFileController::InfoList
VelkCertificateHistoryFileController::getNotAfterCheck(const foundation::DateComponents& baseDate) {
  static constexpr const char* kOperation = "getNotAfterCheck(baseDate:)";
  log.debug(" *** getNotAfterCheck(baseDate:Date) -> [VelkCertificateHistoryInfo]  START *** ",
            this, kOperation);
  InfoList selected;
  if (const std::optional<foundation::Date> baseDay = startOfDay(baseDate)) {
    for (const InfoPtr& info : certificateHistoryInfoList) {
      const std::optional<foundation::Date> expiryDay = info->getNotAfterDateFmt();
      if (expiryDay && *baseDay > *expiryDay) {
        selected.push_back(info);
      }
    }
  }
  log.debug(" *** getNotAfterCheck(baseDate:Date) -> [VelkCertificateHistoryInfo]  END *** ", this,
            kOperation);
  return selected;
}
