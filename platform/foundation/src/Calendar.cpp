#include "foundation/Calendar.h"

#include <time.h>  // NOLINT(modernize-deprecated-headers): localtime_r

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdint>

namespace foundation {

namespace {

constexpr std::int64_t kSecondsPerDay = 86400;
// Years far enough out that every later sum fits in 64 bits; the narrower
// range of Date is checked at the end.
constexpr std::int64_t kYearLimit = 1000000;
constexpr std::int64_t kLatestSecond =
    std::chrono::floor<std::chrono::seconds>(Date::max().time_since_epoch()).count() - 1;
constexpr std::int64_t kEarliestSecond =
    std::chrono::ceil<std::chrono::seconds>(Date::min().time_since_epoch()).count() + 1;

int daysInMonth(std::int64_t year, int month) {
  static constexpr std::array<int, 12> kDays = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return month == 2 && leap ? 29 : kDays.at(static_cast<std::size_t>(month - 1));
}

// Days from 1970-01-01 to the given day of the proleptic Gregorian calendar.
std::int64_t daysFromCivil(std::int64_t year, int month, int day) {
  year -= month <= 2 ? 1 : 0;
  const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
  const std::int64_t yearOfEra = year - era * 400;
  const std::int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const std::int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + dayOfEra - 719468;
}

std::optional<std::tm> localFields(std::int64_t seconds) {
  const auto time = static_cast<std::time_t>(seconds);
  std::tm fields{};
  if (::localtime_r(&time, &fields) == nullptr) {
    return std::nullopt;
  }
  return fields;
}

// The system time zone's offset from UTC, in seconds, at instant `t`.
std::optional<std::int64_t> utcOffset(std::int64_t t) {
  const std::optional<std::tm> fields = localFields(t);
  return fields ? std::optional<std::int64_t>(fields->tm_gmtoff) : std::nullopt;
}

// The instant (seconds since the epoch) at which the wall clock of the system
// time zone shows `local` (wall-clock seconds counted as if in UTC).
// A wall time that occurs twice (clocks turned back) gives its first
// occurrence. A wall time skipped when clocks jump forward is read with the
// offset in force before the jump, so a skipped midnight becomes the first
// instant of that day, whatever the size of the jump.
std::optional<std::int64_t> instantOfWallTime(std::int64_t local) {
  // Every offset lies within a day of UTC, so the offsets a day before and a
  // day after the wall time are those on either side of a nearby change.
  const std::optional<std::int64_t> before = utcOffset(local - kSecondsPerDay);
  const std::optional<std::int64_t> after = utcOffset(local + kSecondsPerDay);
  const std::optional<std::int64_t> here = utcOffset(local);
  if (!before || !after || !here) {
    return std::nullopt;
  }
  std::optional<std::int64_t> first;
  for (const std::int64_t offset : {*before, *after, *here}) {
    const std::int64_t candidate = local - offset;
    if ((!first || candidate < *first) && utcOffset(candidate) == offset) {
      first = candidate;
    }
  }
  return first ? first : local - *before;
}

bool inRange(const std::optional<int>& field, int low, int high) {
  return !field || (*field >= low && *field <= high);
}

}  // namespace

Calendar Calendar::current() { return {}; }

DateComponents Calendar::dateComponents(const Date& date) const {
  const auto sinceEpoch = date.time_since_epoch();
  const auto seconds = std::chrono::floor<std::chrono::seconds>(sinceEpoch);
  const std::optional<std::tm> fields = localFields(seconds.count());
  if (!fields) {
    return {};
  }
  return {.year = fields->tm_year + 1900,
          .month = fields->tm_mon + 1,
          .day = fields->tm_mday,
          .hour = fields->tm_hour,
          .minute = fields->tm_min,
          .second = fields->tm_sec,
          .nanosecond = static_cast<int>(
              std::chrono::duration_cast<std::chrono::nanoseconds>(sinceEpoch - seconds).count())};
}

std::optional<Date> Calendar::date(const DateComponents& components) const {
  if (!components.year || !components.month || !components.day) {
    return std::nullopt;
  }
  const std::int64_t year = *components.year;
  const int month = *components.month;
  if (year < -kYearLimit || year > kYearLimit || month < 1 || month > 12 ||
      !inRange(components.day, 1, daysInMonth(year, month)) || !inRange(components.hour, 0, 23) ||
      !inRange(components.minute, 0, 59) || !inRange(components.second, 0, 59) ||
      !inRange(components.nanosecond, 0, 999999999)) {
    return std::nullopt;
  }
  const std::int64_t wallTime = daysFromCivil(year, month, *components.day) * kSecondsPerDay +
                                components.hour.value_or(0) * std::int64_t{3600} +
                                components.minute.value_or(0) * std::int64_t{60} +
                                components.second.value_or(0);
  const std::optional<std::int64_t> instant = instantOfWallTime(wallTime);
  // Beyond what a Date holds there is no date, rather than a wrapped one.
  if (!instant || *instant < kEarliestSecond || *instant > kLatestSecond) {
    return std::nullopt;
  }
  return Date(std::chrono::seconds(*instant)) +
         std::chrono::duration_cast<Date::duration>(
             std::chrono::nanoseconds(components.nanosecond.value_or(0)));
}

std::optional<Date> Calendar::dateByAddingMonths(int months, const Date& date) const {
  DateComponents components = dateComponents(date);
  if (!components.year) {
    return std::nullopt;
  }
  const std::int64_t monthIndex =
      std::int64_t{*components.year} * 12 + (*components.month - 1) + months;
  const std::int64_t year = monthIndex >= 0 ? monthIndex / 12 : (monthIndex - 11) / 12;
  const int month = static_cast<int>(monthIndex - year * 12) + 1;
  if (year < -kYearLimit || year > kYearLimit) {
    return std::nullopt;
  }
  components.year = static_cast<int>(year);
  components.month = month;
  components.day = std::min(*components.day, daysInMonth(year, month));
  return this->date(components);
}

}  // namespace foundation
