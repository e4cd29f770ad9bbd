#include "TextLayout.h"

#include <locale.h>  // NOLINT(modernize-deprecated-headers): newlocale, uselocale
#include <algorithm>
#include <cwchar>
#include <limits>
#include <utility>

#include "foundation/Utf8.h"

namespace appkit {

namespace {

// The longest start of `text` that takes at most `width` columns: its length
// in bytes and the columns it takes. A byte that begins no well-formed
// character stands for one U+FFFD.
std::pair<std::size_t, int> fit(std::string_view text, int width) {
  static const locale_t utf8 = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
  std::size_t at = 0;
  int used = 0;
  while (at < text.size()) {
    const foundation::Utf8::Sequence sequence = foundation::Utf8::decode(text.substr(at));
    const char32_t code = sequence.length != 0 ? sequence.codePoint : char32_t{0xFFFD};
    int columns = code < 0x20 || code == 0x7F ? 0 : 1;
    if (code >= 0x80 && utf8 != nullptr) {
      const locale_t previous = uselocale(utf8);
      const int wide = wcwidth(static_cast<wchar_t>(code));
      columns = wide < 0 ? 1 : wide;
      uselocale(previous);
    }
    if (used + columns > width) {
      break;
    }
    used += columns;
    at += std::max<std::size_t>(sequence.length, 1);
  }
  return {at, used};
}

}  // namespace

int TextLayout::displayWidth(std::string_view text) {
  return fit(text, std::numeric_limits<int>::max()).second;
}

std::string TextLayout::fitToWidth(std::string_view text, int width) {
  const auto [length, used] = fit(text, width);
  return std::string(text.substr(0, length))
      .append(static_cast<std::size_t>(std::max(0, width - used)), ' ');
}

std::vector<int> TextLayout::columnWidths(const std::vector<std::string>& columns,
                                          const std::vector<std::vector<std::string>>& rows) {
  std::vector<int> widths(columns.size());
  std::transform(columns.begin(), columns.end(), widths.begin(), &TextLayout::displayWidth);
  for (const auto& row : rows) {
    for (std::size_t i = 0; i < row.size() && i < widths.size(); ++i) {
      widths[i] = std::max(widths[i], displayWidth(row[i]));
    }
  }
  return widths;
}

std::string TextLayout::tableRow(const std::vector<int>& widths,
                                 const std::vector<std::string>& cells, std::string_view bar) {
  std::string row(bar);
  for (std::size_t i = 0; i < widths.size(); ++i) {
    row.append(" ").append(fitToWidth(i < cells.size() ? cells[i] : "", widths[i])).append(" ");
    row += bar;
  }
  return row;
}

std::string TextLayout::tableRule(const std::vector<int>& widths, std::string_view left,
                                  std::string_view fill, std::string_view joint,
                                  std::string_view right) {
  std::string rule(left);
  for (std::size_t i = 0; i < widths.size(); ++i) {
    for (int n = 0; n < widths[i] + 2; ++n) {
      rule += fill;
    }
    rule += i + 1 < widths.size() ? joint : right;
  }
  return rule;
}

}  // namespace appkit
