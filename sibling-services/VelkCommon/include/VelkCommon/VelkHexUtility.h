#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "VelkCommon/VelkCommonExport.h"

class VELKCOMMON_EXPORT VelkHexUtility {
 public:
  VelkHexUtility() = delete;

  // Two upper-case hexadecimal digits per byte, no separators; "" for no bytes.
  static std::string toHexString(const std::vector<std::int8_t>& bytes);
};
