#include "support/Records.h"

#include <filesystem>
#include <utility>

#include "CertificateFactory.h"
#include "support/TempDir.h"

namespace velktest {

foundation::DateComponents moment(int year, int month, int day, int hour, int minute, int second) {
  return {.year = year,
          .month = month,
          .day = day,
          .hour = hour,
          .minute = minute,
          .second = second,
          .nanosecond = 0};
}

std::shared_ptr<VelkCertificateHistoryInfo> historyRecord(const std::string& dcClass,
                                                          const std::string& serialNumber,
                                                          const std::string& notAfter,
                                                          const std::string& openTime) {
  auto info = std::make_shared<VelkCertificateHistoryInfo>();
  info->dcClass = dcClass;
  info->serialNumber = serialNumber;
  info->notAfter = notAfter;
  info->openTime = openTime;
  return info;
}

std::string recordLine(const std::string& dcClass, const std::string& serial,
                       const std::string& notAfter, const std::string& openTime) {
  return dcClass + "," + serial + "," + notAfter + "," + openTime + "\n";
}

std::vector<std::string> serialsOf(const InfoList& records) {
  std::vector<std::string> serials;
  serials.reserve(records.size());
  for (const auto& info : records) {
    serials.push_back(info->serialNumber);
  }
  return serials;
}

std::vector<std::int8_t> certificate(std::vector<std::uint8_t> serial,
                                     std::chrono::year_month_day day) {
  return CertificateFactory::make(std::move(serial), CertificateFactory::localNoon(day)).der;
}

void writeHistory(const TempHome& home, const std::string& text) {
  std::filesystem::create_directories(home.appDir());
  writeFileBytes(home.historyFile(), text);
}

std::string history(const TempHome& home) { return readFileBytes(home.historyFile()); }

}  // namespace velktest
