#pragma once

#include <optional>

#include "foundation/Date.h"
#include "foundation/DateComponents.h"
#include "foundation/FoundationExport.h"

namespace foundation {

// The Gregorian calendar in the system time zone (TZ, as localtime_r() reads
// it: at the first conversion, and again after each tzset()).
class VELKFOUNDATION_EXPORT Calendar {
 public:
  // The user's current calendar.
  static Calendar current();

  // Year, month, day, hour, minute, second and nanosecond of `date`; no
  // fields when the C library cannot convert it.
  DateComponents dateComponents(const Date& date) const;

  // The instant the components name. Absent hour, minute, second and
  // nanosecond count as zero, so year, month and day alone give the start of
  // that day. Returns no date when year, month or day is absent, a field is
  // out of its range (month 13, 30 February, hour 24) or the instant lies
  // beyond what a Date holds.
  std::optional<Date> date(const DateComponents& components) const;

  // `date` moved by `months` calendar months, keeping the time of day; a day
  // that the target month lacks becomes that month's last day (31 May minus
  // 3 months is 28 February, 29 in a leap year). No date when out of range.
  std::optional<Date> dateByAddingMonths(int months, const Date& date) const;
};

}  // namespace foundation
