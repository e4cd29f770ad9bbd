#include "VelkUpdateReminder/VelkCertificateHistoryInfo.h"

#include "LanguageFormatter.h"

#include "VelkCommon/VelkLog.h"
#include "VelkUpdateReminder/VelkUpdateReminderCommon.h"
#include "foundation/DateFormatter.h"

namespace {

constexpr const char* kDateForm = "yyyy-MM-dd";
constexpr const char* kDateTimeForm = "yyyy-MM-dd HH:mm:ss";

}  // namespace

VelkCertificateHistoryInfo::VelkCertificateHistoryInfo()
    : log(VelkLog::getLogger(LogFilePrefix::VELK_UPDATE_REMINDER)) {}

VelkCertificateHistoryInfo::~VelkCertificateHistoryInfo() = default;

bool VelkCertificateHistoryInfo::equals(
    const std::shared_ptr<VelkCertificateHistoryInfo>& info) const {
  static constexpr const char* kOperation = "equals(info:)";
  log.debug(" *** equals(info:VelkCertificateHistoryInfo) -> Bool START *** ", this, kOperation);
  if (info == nullptr || dcClass != info->dcClass) {
    log.debug(" *** return false; *** ", this, kOperation);
    log.debug(" *** equals(info:VelkCertificateHistoryInfo) -> Bool  END *** ", this, kOperation);
    return false;
  }
  if (serialNumber != info->serialNumber) {
    log.debug(" *** return false; *** ", this, kOperation);
    log.debug(" *** equals(info:VelkCertificateHistoryInfo) -> Bool END *** ", this, kOperation);
    return false;
  }
  log.debug(" *** return true; *** ", this, kOperation);
  log.debug(" *** equals(info:VelkCertificateHistoryInfo) -> Bool END *** ", this, kOperation);
  return true;
}

bool VelkCertificateHistoryInfo::isDcTypeString(const std::string& dcType) const {
  static constexpr const char* kOperation = "isDcTypeString(dcType:)";
  log.debug(" *** isDcTypeString(dcType:String) -> Bool START *** ", this, kOperation);
  if (dcType == "A" || dcType == "S") {
    log.debug(" *** return true; *** ", this, kOperation);
    log.debug(" *** isDcTypeString(dcType:String) -> Bool  END *** ", this, kOperation);
    return true;
  }
  log.debug(" *** return false; *** ", this, kOperation);
  log.debug(" *** isDcTypeString(dcType:String) -> Bool END *** ", this, kOperation);
  return false;
}

bool VelkCertificateHistoryInfo::selfCheck() const {
  static constexpr const char* kOperation = "selfCheck()";
  log.debug(" *** selfCheck() -> Bool START *** ", this, kOperation);
  if (!isDcTypeString(dcClass)) {
    log.debug(" *** format (class type) error : " + dcClass + " *** ", this, kOperation);
    log.debug(" *** selfCheck() -> Bool END *** ", this, kOperation);
    return false;
  }
  if (serialNumber.empty()) {
    log.debug(" *** format (serial no) error : blank *** ", this, kOperation);
    log.debug(" *** selfCheck() -> Bool  END *** ", this, kOperation);
    return false;
  }
  if (!languageFormatter(kDateForm).date(notAfter)) {
    log.debug(" *** format (Expiration Date) error : " + notAfter + " *** ", this, kOperation);
    log.debug(" *** boolean selfCheck()  END *** ", this, kOperation);
    return false;
  }
  if (!languageFormatter(kDateTimeForm).date(openTime)) {
    log.debug(" *** format (Display Date) error : " + openTime + " *** ", this, kOperation);
    log.debug(" *** boolean selfCheck()  END *** ", this, kOperation);
    return false;
  }
  log.debug(" *** return true *** ", this, kOperation);
  log.debug(" *** selfCheck() -> Bool END *** ", this, kOperation);
  return true;
}

void VelkCertificateHistoryInfo::setDcClass(const std::string& dcClass) {
  static constexpr const char* kOperation = "setDcClass(dcClass:)";
  log.debug(" *** setDcClass(dcClass:String) START *** ", this, kOperation);
  this->dcClass = dcClass;
  log.debug(" *** setDcClass(dcClass:String) END *** ", this, kOperation);
}

const std::string& VelkCertificateHistoryInfo::getDcClass() const {
  static constexpr const char* kOperation = "getDcClass()";
  log.debug(" *** getDcClass() -> String START *** ", this, kOperation);
  log.debug(" *** getDcClass() -> String END *** ", this, kOperation);
  return dcClass;
}

std::string VelkCertificateHistoryInfo::getDcClassName() const {
  static constexpr const char* kOperation = "getDcClassName()";
  log.debug(" *** getDcClassName() -> String START *** ", this, kOperation);
  std::string name;
  if (dcClass == "A") {
    name = "利用者証明用";
  } else if (dcClass == "S") {
    name = "署名用";
  }
  log.debug(" *** getDcClassName() -> String  END *** ", this, kOperation);
  return name;
}

void VelkCertificateHistoryInfo::setSerialNumber(const std::string& serialNumber) {
  static constexpr const char* kOperation = "setSerialNumber(serialNumber:)";
  log.debug(" *** setSerialNumber(serialNumber:String) START *** ", this, kOperation);
  this->serialNumber = serialNumber;
  log.debug(" *** setSerialNumber(serialNumber:String) END *** ", this, kOperation);
}

const std::string& VelkCertificateHistoryInfo::getSerialNumber() const {
  static constexpr const char* kOperation = "getSerialNumber()";
  log.debug(" *** getSerialNumber() -> String START *** ", this, kOperation);
  log.debug(" *** getSerialNumber() -> String END *** ", this, kOperation);
  return serialNumber;
}

void VelkCertificateHistoryInfo::setNotAfter(const foundation::Date& not_After) {
  static constexpr const char* kOperation = "setNotAfter(not_After:)";
  // This operation has no END text: its exit line repeats the entry line.
  log.debug(" *** setNotAfter(not_After:DateComponents) START *** ", this, kOperation);
  notAfter = languageFormatter(kDateForm).string(not_After);
  log.debug(" *** setNotAfter(not_After:DateComponents) START *** ", this, kOperation);
}

void VelkCertificateHistoryInfo::setNotAfter(const std::string& not_After) {
  static constexpr const char* kOperation = "setNotAfter(not_After:)";
  log.debug(" *** setNotAfter(not_After:String) START *** ", this, kOperation);
  const foundation::DateFormatter formatter = languageFormatter(kDateForm);
  if (const std::optional<foundation::Date> parsed = formatter.date(not_After)) {
    notAfter = formatter.string(*parsed);
    log.debug(" *** setNotAfter(not_After:String) END *** ", this, kOperation);
    return;
  }
  // A bad expiry text is kept as it came, so that selfCheck() reports it.
  log.error(" *** ParseError -> " + not_After + "*** ", this, kOperation);
  notAfter = not_After;
}

const std::string& VelkCertificateHistoryInfo::getNotAfter() const {
  static constexpr const char* kOperation = "getNotAfter()";
  log.debug(" *** getNotAfter() -> String START *** ", this, kOperation);
  log.debug(" *** getNotAfter() -> String END *** ", this, kOperation);
  return notAfter;
}

std::optional<foundation::Date> VelkCertificateHistoryInfo::getNotAfterDateFmt() const {
  static constexpr const char* kOperation = "getNotAfterDateFmt()";
  log.debug(" *** getNotAfterDateFmt() -> String? START *** ", this, kOperation);
  std::optional<foundation::Date> date = VelkUpdateReminderCommon::String_to_Date(notAfter);
  log.debug(" *** getNotAfterDateFmt() -> String?  END *** ", this, kOperation);
  return date;
}

void VelkCertificateHistoryInfo::setOpenTime(const foundation::DateComponents& timeDateComponent) {
  static constexpr const char* kOperation = "setOpenTime(timeDateComponent:)";
  log.debug(" *** setOpenTime(openTime:Date)  START *** ", this, kOperation);
  openTime = VelkUpdateReminderCommon::DateComponents_to_String(timeDateComponent, kDateTimeForm);
  log.debug(" *** setOpenTime(openTime:Date)  END *** ", this, kOperation);
}

void VelkCertificateHistoryInfo::setOpenTime(const std::string& timeString) {
  static constexpr const char* kOperation = "setOpenTime(timeString:)";
  log.debug(" *** void setOpenTime(String openTime)  START *** ", this, kOperation);
  const foundation::DateFormatter formatter = languageFormatter(kDateTimeForm);
  if (const std::optional<foundation::Date> parsed = formatter.date(timeString)) {
    openTime = formatter.string(*parsed);
  } else {
    // A bad recording time is emptied, unlike a bad expiry text.
    log.error(" *** Error -> " + timeString + " *** ", this, kOperation);
    openTime.clear();
  }
  log.debug(" *** void setOpenTime(String openTime)  END *** ", this, kOperation);
}

const std::string& VelkCertificateHistoryInfo::getOpenTime() const {
  static constexpr const char* kOperation = "getOpenTime()";
  log.debug(" *** getOpenTime() -> String START *** ", this, kOperation);
  log.debug(" *** getOpenTime() -> String END *** ", this, kOperation);
  return openTime;
}
