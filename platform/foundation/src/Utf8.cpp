#include "foundation/Utf8.h"

namespace foundation {

Utf8::Sequence Utf8::decode(std::string_view text) noexcept {
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
    if (!isContinuation(text[i])) {
      return {};
    }
    codePoint = (codePoint << 6U) | (byte(i) & 0x3FU);
  }
  return {codePoint, length};
}

std::size_t Utf8::validLength(std::string_view text) noexcept {
  std::size_t offset = 0;
  while (offset < text.size()) {
    const std::size_t length = decode(text.substr(offset)).length;
    if (length == 0) {
      return offset;
    }
    offset += length;
  }
  return offset;
}

}  // namespace foundation
