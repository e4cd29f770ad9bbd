#pragma once

#include <cstddef>
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
  // empty or starts with a byte that begins none.
  static Sequence decode(std::string_view text) noexcept;

  // Whether `byte` continues a sequence (10xxxxxx) rather than begins one.
  static constexpr bool isContinuation(char byte) noexcept {
    return (static_cast<unsigned char>(byte) & 0xC0U) == 0x80U;
  }

  // The length of the longest well-formed start of `text`: text.size() when
  // all of it is UTF-8, else the offset of the first byte that is not.
  static std::size_t validLength(std::string_view text) noexcept;
};

}  // namespace foundation
