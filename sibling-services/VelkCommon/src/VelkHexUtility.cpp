#include "VelkCommon/VelkHexUtility.h"

#include <string_view>

std::string VelkHexUtility::toHexString(const std::vector<std::int8_t>& bytes) {
  static constexpr std::string_view kDigits = "0123456789ABCDEF";
  std::string text;
  for (const std::int8_t byte : bytes) {
    text += {kDigits[static_cast<std::uint8_t>(byte) >> 4U], kDigits[byte & 0x0F]};
  }
  return text;
}
