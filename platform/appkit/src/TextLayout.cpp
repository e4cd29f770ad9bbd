#include "TextLayout.h"

#include <locale.h>  // NOLINT(modernize-deprecated-headers): newlocale, uselocale
#include <algorithm>
#include <cwchar>
#include <utility>

#include "foundation/Utf8.h"

namespace appkit {

namespace {

// The display width and the length in bytes of the character that `text`
// starts with; a byte that begins no well-formed character stands for one
// U+FFFD.
std::pair<int, std::size_t> character(std::string_view text) {
  static const locale_t utf8 = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
  const foundation::Utf8::Sequence sequence = foundation::Utf8::decode(text);
  const char32_t code = sequence.length != 0 ? sequence.codePoint : char32_t{0xFFFD};
  int width = code < 0x20 || code == 0x7F ? 0 : 1;
  if (code >= 0x80 && utf8 != nullptr) {
    const locale_t previous = uselocale(utf8);
    const int columns = wcwidth(static_cast<wchar_t>(code));
    width = columns < 0 ? 1 : columns;
    uselocale(previous);
  }
  return {width, std::max<std::size_t>(sequence.length, 1)};
}

}  // namespace

std::vector<int> TextLayout::columnWidths(const std::vector<std::string>& columns,
                                          const std::vector<std::vector<std::string>>& rows) {
  std::vector<int> widths;
  for (const auto& column : columns) {
    widths.push_back(displayWidth(column));
  }
  for (const auto& row : rows) {
    for (std::size_t i = 0; i < row.size() && i < widths.size(); ++i) {
      widths[i] = std::max(widths[i], displayWidth(row[i]));
    }
  }
  return widths;
}

int TextLayout::displayWidth(std::string_view text) {
  int total = 0;
  for (std::size_t at = 0; at < text.size();) {
    const auto [width, length] = character(text.substr(at));
    total += width;
    at += length;
  }
  return total;
}

std::string TextLayout::fitToWidth(std::string_view text, int width) {
  std::string fitted;
  int used = 0;
  for (std::size_t at = 0; at < text.size();) {
    const auto [charWidth, length] = character(text.substr(at));
    if (used + charWidth > width) {
      break;
    }
    used += charWidth;
    fitted += text.substr(at, length);
    at += length;
  }
  return fitted.append(static_cast<std::size_t>(std::max(0, width - used)), ' ');
}

std::string TextLayout::tableRow(const std::vector<int>& widths,
                                 const std::vector<std::string>& cells, std::string_view bar) {
  std::string row(bar);
  for (std::size_t i = 0; i < widths.size(); ++i) {
    row += " " + fitToWidth(i < cells.size() ? cells[i] : "", widths[i]) + " ";
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
