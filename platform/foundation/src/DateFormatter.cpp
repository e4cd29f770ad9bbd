#include "foundation/DateFormatter.h"

#include <array>
#include <cstdio>
#include <string_view>

#include "foundation/Calendar.h"
#include "foundation/DateComponents.h"

namespace foundation {

namespace {

// One numeric field of a pattern and the separator that precedes it.
struct Field {
  using Member = std::optional<int> DateComponents::*;
  char separator;  // '\0' for the first field
  std::size_t maxDigits;
  Member member;
};

constexpr std::array<Field, 6> kFields = {{
    {'\0', 4, &DateComponents::year},
    {'-', 2, &DateComponents::month},
    {'-', 2, &DateComponents::day},
    {' ', 2, &DateComponents::hour},
    {':', 2, &DateComponents::minute},
    {':', 2, &DateComponents::second},
}};

// How many of kFields the pattern has: 3, 6, or 0 for an unknown pattern.
std::size_t fieldCount(std::string_view pattern) {
  if (pattern == "yyyy-MM-dd") {
    return 3;
  }
  return pattern == "yyyy-MM-dd HH:mm:ss" ? 6 : 0;
}

}  // namespace

std::string DateFormatter::string(const Date& date) const {
  const std::size_t count = fieldCount(pattern_);
  const DateComponents fields = Calendar::current().dateComponents(date);
  if (count == 0 || !fields.year) {
    return "";
  }
  std::array<char, 96> text{};
  std::snprintf(text.data(), text.size(),
                count == 3 ? "%04d-%02d-%02d" : "%04d-%02d-%02d %02d:%02d:%02d", *fields.year,
                *fields.month, *fields.day, *fields.hour, *fields.minute, *fields.second);
  return text.data();
}

std::optional<Date> DateFormatter::date(const std::string& text) const {
  const std::size_t count = fieldCount(pattern_);
  if (count == 0) {
    return std::nullopt;
  }
  DateComponents components;
  std::size_t pos = 0;
  for (std::size_t i = 0; i < count; ++i) {
    const Field& field = kFields[i];
    if (field.separator != '\0' && (pos >= text.size() || text[pos++] != field.separator)) {
      return std::nullopt;
    }
    const std::size_t start = pos;
    int value = 0;
    while (pos < text.size() && pos - start < field.maxDigits && text[pos] >= '0' &&
           text[pos] <= '9') {
      value = value * 10 + (text[pos++] - '0');
    }
    if (pos == start) {
      return std::nullopt;
    }
    components.*field.member = value;
  }
  // Year 0 does not exist in the Gregorian calendar's common era.
  if (pos != text.size() || *components.year < 1) {
    return std::nullopt;
  }
  // Calendar::date rejects month 13, 30 February, hour 24 and the like.
  return Calendar::current().date(components);
}

}  // namespace foundation
