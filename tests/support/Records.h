#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "VelkUpdateReminder/VelkCertificateHistoryInfo.h"
#include "foundation/DateComponents.h"
#include "support/TempHome.h"

namespace velktest {

// The calendar fields of a moment, every one of them set.
foundation::DateComponents moment(int year, int month, int day, int hour = 0, int minute = 0,
                                  int second = 0);

using InfoList = std::vector<std::shared_ptr<VelkCertificateHistoryInfo>>;

// A record with the four fields set directly, without the setters' checks
// and log lines.
std::shared_ptr<VelkCertificateHistoryInfo> historyRecord(
    const std::string& dcClass, const std::string& serialNumber, const std::string& notAfter,
    const std::string& openTime = "2025-01-01 00:00:00");

// One record line of the history file, with its line feed.
std::string recordLine(const std::string& dcClass, const std::string& serial,
                       const std::string& notAfter,
                       const std::string& openTime = "2025-06-01 10:00:00");

// The serial numbers of the records, in their order.
std::vector<std::string> serialsOf(const InfoList& records);

// The DER encoding of a signed certificate with the serial number `serial`
// that expires at noon, local time, of `day`.
std::vector<std::int8_t> certificate(std::vector<std::uint8_t> serial,
                                     std::chrono::year_month_day day);

// Writes the history file of `home`, making the application directory.
void writeHistory(const TempHome& home, const std::string& text);
// The bytes of the history file of `home`.
std::string history(const TempHome& home);

}  // namespace velktest
