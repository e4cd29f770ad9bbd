#include "DisplayWidth.h"

#include <locale.h>  // NOLINT(modernize-deprecated-headers): newlocale, uselocale
#include <clocale>
#include <cwchar>

#include <algorithm>
#include <functional>

namespace appkit {

namespace {

// Calls `visit(begin, length, width)` for each character of `text`, with
// wcwidth() answering in a UTF-8 locale for this thread meanwhile.
void forEachCharacter(std::string_view text,
                      const std::function<bool(std::size_t, std::size_t, int)>& visit) {
  static const locale_t utf8 = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
  const locale_t previous = utf8 != nullptr ? uselocale(utf8) : nullptr;
  std::size_t at = 0;
  while (at < text.size()) {
    const auto lead = static_cast<unsigned char>(text[at]);
    std::size_t length = lead < 0x80    ? 1
                         : lead >= 0xF0 ? 4
                         : lead >= 0xE0 ? 3
                         : lead >= 0xC0 ? 2
                                        : 1;
    char32_t code = length == 1 ? lead : lead & (0x3F >> (length - 1));
    for (std::size_t i = 1; i < length; ++i) {
      const auto next = at + i < text.size() ? static_cast<unsigned char>(text[at + i]) : 0;
      if ((next & 0xC0) != 0x80) {
        length = 1;
        code = 0xFFFD;
        break;
      }
      code = (code << 6) | (next & 0x3F);
    }
    int width = 1;
    if (code < 0x20 || code == 0x7F) {
      width = 0;
    } else if (code >= 0x80) {
      width = utf8 != nullptr ? wcwidth(static_cast<wchar_t>(code)) : 1;
      width = width < 0 ? 1 : width;
    }
    if (!visit(at, length, width)) {
      break;
    }
    at += length;
  }
  if (utf8 != nullptr) {
    uselocale(previous);
  }
}

}  // namespace

int displayWidth(std::string_view text) {
  int total = 0;
  forEachCharacter(text, [&](std::size_t, std::size_t, int width) {
    total += width;
    return true;
  });
  return total;
}

std::string fitToWidth(std::string_view text, int width) {
  std::size_t end = 0;
  int used = 0;
  forEachCharacter(text, [&](std::size_t begin, std::size_t length, int charWidth) {
    if (used + charWidth > width) {
      return false;
    }
    used += charWidth;
    end = begin + length;
    return true;
  });
  std::string fitted(text.substr(0, end));
  fitted.append(static_cast<std::size_t>(std::max(0, width - used)), ' ');
  return fitted;
}

}  // namespace appkit
