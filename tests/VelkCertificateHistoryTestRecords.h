#pragma once

#include <memory>
#include <string>

#include "VelkUpdateReminder/VelkCertificateHistoryInfo.h"

namespace velktest {

// A record with the four fields set directly, without the setters' checks
// and log lines.
inline std::shared_ptr<VelkCertificateHistoryInfo> historyRecord(
    const std::string& dcClass, const std::string& serialNumber, const std::string& notAfter,
    const std::string& openTime = "2025-01-01 00:00:00") {
  auto info = std::make_shared<VelkCertificateHistoryInfo>();
  info->dcClass = dcClass;
  info->serialNumber = serialNumber;
  info->notAfter = notAfter;
  info->openTime = openTime;
  return info;
}

}  // namespace velktest
