#include "VelkUpdateReminder/VelkCertificateHistoryFileController.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string_view>
#include <system_error>
#include <utility>

#include "EndLine.h"
#include "VelkCommon/FileDescriptor.h"
#include "VelkCommon/VelkFileUtility.h"
#include "VelkCommon/VelkLog.h"
#include "VelkUpdateReminder/VelkUpdateReminderCommon.h"
#include "foundation/Calendar.h"
#include "foundation/Utf8.h"

namespace {

// The text of the current errno, as the platform words it.
std::string errnoDescription() { return std::generic_category().message(errno); }

// The largest history file that is read. Ten records take about a kilobyte;
// 1 MiB leaves room for whatever other programs of the family put there.
// Anything larger is not a history, and reading it whole could exhaust
// memory (a sparse file of 64 GiB takes no disk space at all).
constexpr std::size_t kLargestHistory = std::size_t{1} << 20;

// Reads the whole file into `text`, or as much of it as shows that it is
// larger than kLargestHistory. Returns a description of the failure, or
// nothing on success.
std::optional<std::string> readWholeFile(const std::string& path, std::string& text) {
  text.clear();
  const FileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  std::array<char, 65536> buffer;
  for (ssize_t got = 1; got != 0;) {
    got = file.valid() ? ::read(file.get(), buffer.data(), buffer.size()) : -1;
    if (got < 0 && errno != EINTR) {
      return path + ": " + errnoDescription();
    }
    text.append(buffer.data(), static_cast<std::size_t>(std::max<ssize_t>(got, 0)));
    if (text.size() > kLargestHistory) {
      text.clear();
      return path + ": larger than a history can be (over " + std::to_string(kLargestHistory) +
             " bytes)";
    }
  }
  const std::size_t valid = foundation::Utf8::validLength(text);
  if (valid == text.size()) {
    return std::nullopt;
  }
  std::array<char, 8> hex{};
  std::snprintf(hex.data(), hex.size(), "0x%02X", static_cast<unsigned char>(text[valid]));
  return path + ": not valid UTF-8 text (byte " + hex.data() + " at offset " +
         std::to_string(valid) + ")";
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
  FileDescriptor file(::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600));
  const auto length = static_cast<off_t>(text.size());
  for (off_t offset = 0; file.valid() && !text.empty();) {
    const ssize_t put = ::pwrite(file.get(), text.data(), text.size(), offset);
    if (put < 0 && errno != EINTR) {
      return path + ": " + errnoDescription();
    }
    text.remove_prefix(static_cast<std::size_t>(std::max<ssize_t>(put, 0)));
    offset += std::max<ssize_t>(put, 0);
  }
  if (!file.valid() || ::ftruncate(file.get(), length) != 0 || !file.close()) {
    return path + ": " + errnoDescription();
  }
  return std::nullopt;
}

// The number of bytes of the newline character at the start of `text`, or 0
// when it does not start with one. Newlines are U+000A to U+000D, U+0085,
// U+2028 and U+2029; `text` is well-formed UTF-8, so their byte patterns
// cannot occur inside another character.
std::size_t newlineLength(std::string_view text) {
  if (text[0] >= '\x0A' && text[0] <= '\x0D') {
    return 1;
  }
  if (text.starts_with("\xC2\x85")) {
    return 2;
  }
  return text.starts_with("\xE2\x80\xA8") || text.starts_with("\xE2\x80\xA9") ? 3 : 0;
}

// The text cut at every newline character, each of which ends a line by
// itself; the text after the last one is one more line.
std::vector<std::string_view> splitLines(std::string_view text) {
  std::vector<std::string_view> lines;
  std::size_t start = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (const std::size_t length = newlineLength(text.substr(i)); length != 0) {
      lines.push_back(text.substr(start, i - start));
      i += length - 1;
      start = i + 1;
    }
  }
  lines.push_back(text.substr(start));
  return lines;
}

// The line cut at every comma; empty items count.
std::vector<std::string> splitAtCommas(const std::string& line) {
  std::vector<std::string> items;
  for (std::size_t start = 0;;) {
    const std::size_t comma = line.find(',', start);
    items.push_back(line.substr(start, comma - start));
    if (comma == std::string::npos) {
      return items;
    }
    start = comma + 1;
  }
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
  std::error_code failure = std::make_error_code(std::errc::invalid_argument);
  if (!directory.empty()) {
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
    failure = VelkFileUtility::createPrivateDirectories(directory);
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
  const EndLine end(log, this, kOperation, " *** isExists() -> Bool  END *** ");
  std::error_code ignored;
  const bool exists = std::filesystem::exists(filepathHist, ignored);
  if (!exists) {
    log.debug(" *** file not exists" + filepathHist + " *** ", this, kOperation);
  }
  return exists;
}

bool VelkCertificateHistoryFileController::createNewCertificateFile() {
  static constexpr const char* kOperation = "createNewCertificateFile()";
  log.debug(" *** createNewCertificateFile() -> Bool  START *** ", this, kOperation);
  const EndLine end(log, this, kOperation, " *** createNewCertificateFile() -> Bool  END *** ");
  isUpdate = false;
  const bool saved = saveFile();
  log.debug(saved ? " *** true *** " : " *** false *** ", this, kOperation);
  return saved;
}

bool VelkCertificateHistoryFileController::readFile(std::int64_t varidReadRowCount) {
  static constexpr const char* kOperation = "readFile(varidReadRowCount:)";
  log.debug(" *** readFile(varidReadRowCount:Int) -> Bool  START *** ", this, kOperation);
  const EndLine end(log, this, kOperation,
                    " *** readFile(varidReadRowCount:Int) -> Bool  END *** ");
  certificateHistoryInfoList.clear();
  std::string text;
  if (const std::optional<std::string> failure = readWholeFile(filepathHist, text)) {
    log.error(" *** caught an exception (" + *failure + ") *** ", this, kOperation);
    log.error(" String(contentsOfFile: self.filepathHist, encoding: .utf8) error", this,
              kOperation);
    log.debug(" *** return false *** ", this, kOperation);
    return false;
  }
  const std::vector<std::string_view> lines = splitLines(text);
  isUpdate = lines[0] == "1";
  // An empty setting line ends the reading: the file yields no records.
  std::int64_t count = 0;
  for (std::size_t i = 1; !lines[0].empty() && i < lines.size(); ++i) {
    if (InfoPtr info = readExpirationInfo(std::string(lines[i]))) {
      certificateHistoryInfoList.push_back(std::move(info));
      ++count;
      log.debug(" *** HistoryInfo line : " + std::to_string(count) + " *** ", this, kOperation);
    }
    if (count >= varidReadRowCount) {
      break;
    }
  }
  log.debug(" *** return true *** ", this, kOperation);
  return true;
}

bool VelkCertificateHistoryFileController::isUpdateSetting() {
  static constexpr const char* kOperation = "isUpdateSetting()";
  log.debug(" *** isUpdateSetting() -> Bool  START *** ", this, kOperation);
  log.debug(isUpdate ? " *** return true *** " : " *** return false *** ", this, kOperation);
  log.debug(" *** isUpdateSetting() -> Bool  END *** ", this, kOperation);
  return isUpdate;
}

VelkCertificateHistoryFileController::InfoPtr
VelkCertificateHistoryFileController::readExpirationInfo(const std::string& line) {
  static constexpr const char* kOperation = "readExpirationInfo(line:)";
  log.debug(" *** readExpirationInfo(line:String) -> VelkCertificateHistoryInfo  START *** ", this,
            kOperation);
  const EndLine end(
      log, this, kOperation,
      " *** readExpirationInfo(line:String) -> VelkCertificateHistoryInfo?  END *** ");
  const std::vector<std::string> items = splitAtCommas(line);
  if (items.size() != 4) {
    log.error(" *** format error : item count= " + std::to_string(items.size()) + " *** ", this,
              kOperation);
    log.debug(" *** return nil *** ", this, kOperation);
    return nullptr;
  }
  auto info = std::make_shared<VelkCertificateHistoryInfo>();
  info->setDcClass(items[0]);
  info->setSerialNumber(items[1]);
  info->setNotAfter(items[2]);
  info->setOpenTime(items[3]);
  if (!info->selfCheck()) {
    log.error(" ***  Velk Certificate Format error  *** ", this, kOperation);
    log.debug(" ***  return nil *** ", this, kOperation);
    return nullptr;
  }
  log.debug(" *** return info *** ", this, kOperation);
  return info;
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
  const EndLine end(log, this, kOperation, " *** saveFile() -> Bool  END *** ");
  if (!createDirectry()) {
    log.debug(" *** return false *** ", this, kOperation);
    return false;
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
    log.debug(" *** return false *** ", this, kOperation);
    return false;
  }
  log.debug(" *** return true *** ", this, kOperation);
  return true;
}

void VelkCertificateHistoryFileController::sort(SORT_TYPE sorttype) {
  static constexpr const char* kOperation = "sort(sorttype:)";
  log.debug(" *** sort(sorttype: SORT_TYPE)  START *** ", this, kOperation);
  certificateHistoryInfoList =
      sorttype == SORT_TYPE::SORT_OPEN_TIME ? sortOpenTime() : sortNotAfter();
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
  const std::optional<foundation::Date> baseDay = startOfDay(systemDate);
  for (const InfoPtr& info : certificateHistoryInfoList) {
    const std::optional<foundation::Date> expiryDay =
        baseDay ? info->getNotAfterDateFmt() : std::nullopt;
    if (!expiryDay || *expiryDay < *baseDay) {
      continue;
    }
    std::optional<foundation::Date> windowStart;
    if (month >= -INT_MAX && month <= INT_MAX) {
      windowStart =
          foundation::Calendar::current().dateByAddingMonths(-static_cast<int>(month), *expiryDay);
    }
    // A window start beyond the calendar's range lies before every date for a
    // look-ahead that long, and after every date for a negative one.
    if (windowStart ? !(*baseDay < *windowStart) : month > 0) {
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
  std::erase_if(certificateHistoryInfoList, [&](const InfoPtr& info) {
    return std::any_of(infoList.begin(), infoList.end(),
                       [&](const InfoPtr& other) { return info->equals(other); });
  });
  log.debug(" *** removeSameData(infoList:[VelkCertificateHistoryInfo]) END *** ", this,
            kOperation);
}

VelkCertificateHistoryFileController::InfoList
VelkCertificateHistoryFileController::getNotAfterCheck(const foundation::DateComponents& baseDate) {
  static constexpr const char* kOperation = "getNotAfterCheck(baseDate:)";
  log.debug(" *** getNotAfterCheck(baseDate:Date) -> [VelkCertificateHistoryInfo]  START *** ",
            this, kOperation);
  InfoList selected;
  const std::optional<foundation::Date> baseDay = startOfDay(baseDate);
  for (const InfoPtr& info : certificateHistoryInfoList) {
    const std::optional<foundation::Date> expiryDay =
        baseDay ? info->getNotAfterDateFmt() : std::nullopt;
    if (expiryDay && *baseDay > *expiryDay) {
      selected.push_back(info);
    }
  }
  log.debug(" *** getNotAfterCheck(baseDate:Date) -> [VelkCertificateHistoryInfo]  END *** ", this,
            kOperation);
  return selected;
}
