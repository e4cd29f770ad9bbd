#include "foundation/DateFormatter.h"

#include <array>
#include <cstdio>
#include <string_view>
#include <utility>

#include "foundation/Calendar.h"
#include "foundation/DateComponents.h"

namespace foundation {

namespace {

constexpr std::string_view kDatePattern = "yyyy-MM-dd";
constexpr std::string_view kDateTimePattern = "yyyy-MM-dd HH:mm:ss";

// Reads 1 to `maxDigits` ASCII digits at `pos` into `value`; false when there
// is no digit there.
bool readNumber(std::string_view text, std::size_t& pos, std::size_t maxDigits, int& value) {
  const std::size_t start = pos;
  value = 0;
  while (pos < text.size() && pos - start < maxDigits && text[pos] >= '0' && text[pos] <= '9') {
    value = value * 10 + (text[pos] - '0');
    ++pos;
  }
  return pos > start;
}

bool readLiteral(std::string_view text, std::size_t& pos, char literal) {
  if (pos < text.size() && text[pos] == literal) {
    ++pos;
    return true;
  }
  return false;
}

// One numeric field of a pattern and the separator that precedes it.
struct Field {
  char separator;  // '\0' for the first field
  std::size_t maxDigits;
  std::optional<int> DateComponents::*member;
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
  if (pattern == kDatePattern) {
    return 3;
  }
  if (pattern == kDateTimePattern) {
    return 6;
  }
  return 0;
}

// Appends `value` zero-padded to `width` digits, as "%0*d" writes it.
void appendPadded(std::string& text, int value, std::size_t width) {
  std::array<char, 16> digits{};
  if (value < 0 || value >= 10000) {
    std::snprintf(digits.data(), digits.size(), "%0*d", static_cast<int>(width), value);
    text += digits.data();
    return;
  }
  std::size_t count = 0;
  for (int rest = value; count < width || rest != 0; rest /= 10) {
    digits[count++] = static_cast<char>('0' + rest % 10);
  }
  while (count > 0) {
    text += digits[--count];
  }
}

}  // namespace

void DateFormatter::setDateFormat(std::string pattern) { pattern_ = std::move(pattern); }

void DateFormatter::setLocale(Locale locale) { locale_ = std::move(locale); }

std::string DateFormatter::string(const Date& date) const {
  const std::size_t count = fieldCount(pattern_);
  if (count == 0) {
    return "";
  }
  const DateComponents components = Calendar::current().dateComponents(date);
  std::string text;
  for (std::size_t i = 0; i < count; ++i) {
    const Field& field = kFields[i];
    const std::optional<int>& value = components.*field.member;
    if (!value) {
      return "";
    }
    if (field.separator != '\0') {
      text += field.separator;
    }
    appendPadded(text, *value, field.maxDigits);
  }
  return text;
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
    int value = 0;
    if ((field.separator != '\0' && !readLiteral(text, pos, field.separator)) ||
        !readNumber(text, pos, field.maxDigits, value)) {
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
