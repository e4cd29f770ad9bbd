#include "DisplayWidth.h"

#include <locale.h>  // NOLINT(modernize-deprecated-headers): newlocale, uselocale
#include <clocale>
#include <cwchar>

#include <algorithm>
#include <functional>

#include "foundation/Utf8.h"

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
    // A byte that begins no well-formed character stands for one U+FFFD.
    const foundation::Utf8::Sequence sequence = foundation::Utf8::decode(text.substr(at));
    const std::size_t length = sequence.length != 0 ? sequence.length : 1;
    const char32_t code = sequence.length != 0 ? sequence.codePoint : char32_t{0xFFFD};
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
