#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "VelkUpdateReminder/VelkUpdateReminderExport.h"
#include "foundation/Date.h"
#include "foundation/DateComponents.h"

class Logger;

// The framework's constants, the locations of its files and its date
// conversions. Only static members; never instantiated. Every operation that
// logs writes through one class logger, fetched once on first use.
class VELKUPDATEREMINDER_EXPORT VelkUpdateReminderCommon {
 public:
  VelkUpdateReminderCommon() = delete;

  // Look-ahead, in calendar months, for a certificate that expires soon.
  static constexpr std::int64_t NOT_AFTER_LIMIT_MONTH = 3;
  // Most records the history keeps.
  static constexpr std::int64_t HISTORY_MAX_COUNT = 10;
  // Wait for the inter-process lock, in milliseconds.
  static constexpr std::int64_t PROCCESS_LOCL_WAIT = 10000;

  // Full path of the history file "velk.dc_list" in the application
  // directory. Creates nothing.
  static std::string getCertificateHistoryFilePath();
  // Full path of the lock file "lockfile" beside it. Writes no log line.
  static std::string getCeritificateHistoryLockFilePath();

  // Calendar fields (year to nanosecond) of the current instant.
  static foundation::DateComponents getSystemDate();
  // A copy of the components without hour, minute, second and nanosecond.
  static foundation::DateComponents removeTimeDateComponents(
      const foundation::DateComponents& cng_date);
  // The instant the components name in the current calendar, or no date
  // (with an error line) when they name none.
  static std::optional<foundation::Date> DateComponents_to_Date(
      const foundation::DateComponents& cng_date);
  // The components rendered with "yyyy-MM-dd" or "yyyy-MM-dd HH:mm:ss";
  // "" for any other pattern, or when the components name no date.
  static std::string DateComponents_to_String(const foundation::DateComponents& cng_date,
                                              const std::string& date_format);
  // Midnight of the day a "yyyy-MM-dd" text names, in the system time zone,
  // or no date (with an error line) when the text is not in that form.
  static std::optional<foundation::Date> String_to_Date(const std::string& cng_date);

 private:
  // The class logger, fetched on the first call (from any thread) and kept
  // for the life of the process.
  static const Logger& log();
};
