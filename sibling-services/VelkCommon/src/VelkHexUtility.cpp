#include "VelkCommon/VelkHexUtility.h"

#include <string_view>

std::string VelkHexUtility::toHexString(const std::vector<std::int8_t>& bytes) {
  static constexpr std::string_view kDigits = "0123456789ABCDEF";
  std::string text;
  text.reserve(bytes.size() * 2);
  for (const std::int8_t byte : bytes) {
    const auto value = static_cast<unsigned char>(byte);
    text += kDigits[value >> 4U];
    text += kDigits[value & 0x0FU];
  }
  return text;
}
