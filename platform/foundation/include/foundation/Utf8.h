#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "foundation/FoundationExport.h"

namespace foundation {

// UTF-8 text, one Unicode code point at a time. Well-formed means what the
// Unicode standard says: no overlong forms, no surrogates, nothing above
// U+10FFFF, no truncated sequence.
class VELKFOUNDATION_EXPORT Utf8 {
 public:
  // One encoded code point.
  struct Sequence {
    char32_t codePoint = 0;
    // Bytes it takes; 0 when there is no well-formed sequence.
    std::size_t length = 0;
  };

  // The well-formed sequence at the start of `text`; length 0 when `text` is
  // empty or starts with a byte that begins none. Inline: the log's escaping
  // calls it for every character that is not ASCII.
  static Sequence decode(std::string_view text) noexcept;

  // Whether `byte` continues a sequence (10xxxxxx) rather than begins one.
  static constexpr bool isContinuation(char byte) noexcept {
    return (static_cast<unsigned char>(byte) & 0xC0U) == 0x80U;
  }

  // The length of the longest well-formed start of `text`: text.size() when
  // all of it is UTF-8, else the offset of the first byte that is not.
  static std::size_t validLength(std::string_view text) noexcept;
};

inline Utf8::Sequence Utf8::decode(std::string_view text) noexcept {
  if (text.empty()) {
    return {};
  }
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(0);
  if (lead < 0x80) {
    return {lead, 1};
  }
  std::size_t length = 0;
  char32_t codePoint = 0;
  unsigned char low = 0x80;  // the range of the second byte
  unsigned char high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    codePoint = lead & 0x1FU;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    codePoint = lead & 0x0FU;
    low = lead == 0xE0 ? 0xA0 : 0x80;   // no overlong forms
    high = lead == 0xED ? 0x9F : 0xBF;  // no surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    codePoint = lead & 0x07U;
    low = lead == 0xF0 ? 0x90 : 0x80;   // no overlong forms
    high = lead == 0xF4 ? 0x8F : 0xBF;  // nothing above U+10FFFF
  } else {
    return {};
  }
  if (text.size() < length || byte(1) < low || byte(1) > high) {
    return {};
  }
  for (std::size_t i = 1; i < length; ++i) {
    if ((byte(i) & 0xC0U) != 0x80U) {
      return {};
    }
    codePoint = (codePoint << 6U) | (byte(i) & 0x3FU);
  }
  return {codePoint, length};
}

}  // namespace foundation
