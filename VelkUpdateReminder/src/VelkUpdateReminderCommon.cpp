#include "VelkUpdateReminder/VelkUpdateReminderCommon.h"

#include "LanguageFormatter.h"

#include <string_view>

#include "VelkCommon/LogCaller.h"
#include "VelkCommon/LogFilePrefix.h"
#include "VelkCommon/Logger.h"
#include "VelkCommon/VelkFileUtility.h"
#include "VelkCommon/VelkLog.h"
#include "foundation/Calendar.h"
#include "foundation/Clock.h"
#include "foundation/DateFormatter.h"

using foundation::Calendar;
using foundation::Date;
using foundation::DateComponents;
using foundation::DateFormatter;

namespace {

LogCaller caller() { return LogCaller::of<VelkUpdateReminderCommon>(); }

}  // namespace

const Logger& VelkUpdateReminderCommon::log() {
  // Initialised exactly once even when several threads arrive together.
  static const Logger logger = VelkLog::getLogger(LogFilePrefix::VELK_UPDATE_REMINDER);
  return logger;
}

std::string VelkUpdateReminderCommon::getCertificateHistoryFilePath() {
  constexpr std::string_view kOperation = "getCertificateHistoryFilePath()";
  log().debug(" *** getCeritificateHistoryFilePath() -> String  START *** ", caller(), kOperation);
  std::string path =
      VelkFileUtility::getVelkDirectory(true).append("velk.dc_list", false).toString();
  log().debug(" *** return " + path + " *** ", caller(), kOperation);
  log().debug(" *** getCeritificateHistoryFilePath() -> String  END *** ", caller(), kOperation);
  return path;
}

std::string VelkUpdateReminderCommon::getCeritificateHistoryLockFilePath() {
  return VelkFileUtility::getVelkDirectory(true).append("lockfile", false).toString();
}

DateComponents VelkUpdateReminderCommon::getSystemDate() {
  constexpr std::string_view kOperation = "getSystemDate()";
  log().debug(" *** getSystemDate() -> Date  START *** ", caller(), kOperation);
  const Calendar calendar = Calendar::current();
  const DateComponents components = calendar.dateComponents(foundation::now());
  log().debug(" *** getSystemDate() -> Date  END *** ", caller(), kOperation);
  return components;
}

DateComponents VelkUpdateReminderCommon::removeTimeDateComponents(const DateComponents& cng_date) {
  constexpr std::string_view kOperation = "removeTimeDateComponents(cng_date:)";
  log().debug(
      " *** removeTimeDateComponents(cng_date: DateComponents) -> DateComponents START *** ",
      caller(), kOperation);
  DateComponents day = cng_date;
  day.hour.reset();
  day.minute.reset();
  day.second.reset();
  day.nanosecond.reset();
  log().debug(" *** removeTimeDateComponents(cng_date: DateComponents) -> DateComponents END *** ",
              caller(), kOperation);
  return day;
}

std::optional<Date> VelkUpdateReminderCommon::DateComponents_to_Date(
    const DateComponents& cng_date) {
  constexpr std::string_view kOperation = "DateComponents_to_Date(cng_date:)";
  log().debug(" *** DateComponents_to_Date(cng_date:DateComponents) -> Date?  START *** ", caller(),
              kOperation);
  const std::optional<Date> date = Calendar::current().date(cng_date);
  if (!date) {
    log().error(" *** convert Error *** ", caller(), kOperation);
  }
  log().debug(" *** DateComponents_to_Date(cng_date:DateComponents) -> Date?  END *** ", caller(),
              kOperation);
  return date;
}

std::string VelkUpdateReminderCommon::DateComponents_to_String(const DateComponents& cng_date,
                                                               const std::string& date_format) {
  constexpr std::string_view kOperation = "DateComponents_to_String(cng_date:date_format:)";
  // clang-format off
  log().debug(" *** DateComponents_to_String(cng_date:DateComponents,date_format:String) -> String  START *** ", caller(), kOperation);
  // clang-format on
  // The plain formatter: pattern only, the default locale.
  DateFormatter formatter;
  const std::optional<Date> date = DateComponents_to_Date(cng_date);
  std::string text;
  // Only the two known patterns are ever applied; any other text gives "".
  if (date && date_format == "yyyy-MM-dd") {
    formatter.setDateFormat("yyyy-MM-dd");
    text = formatter.string(*date);
  } else if (date && date_format == "yyyy-MM-dd HH:mm:ss") {
    formatter.setDateFormat("yyyy-MM-dd HH:mm:ss");
    text = formatter.string(*date);
  }
  // clang-format off
  log().debug(" *** DateComponents_to_String(cng_date:DateComponents,date_format:String) -> String  END *** ", caller(), kOperation);
  // clang-format on
  return text;
}

std::optional<Date> VelkUpdateReminderCommon::String_to_Date(const std::string& cng_date) {
  constexpr std::string_view kOperation = "String_to_Date(cng_date:)";
  log().debug(" *** String_to_Date(cng_date:String) -> Date?  START *** ", caller(), kOperation);
  // The language formatter: its locale is the user's first preferred language.
  const std::optional<Date> date = languageFormatter("yyyy-MM-dd").date(cng_date);
  if (!date) {
    log().error(" *** change Date format Error -> " + cng_date + "*** ", caller(), kOperation);
  }
  log().debug(" *** String_to_Date(cng_date:String) -> Date?  END *** ", caller(), kOperation);
  return date;
}
