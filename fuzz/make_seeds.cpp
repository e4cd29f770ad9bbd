// velk-make-fuzz-seeds DIR: writes the seed corpus of every fuzz target into
// DIR/<target>/, made by the project's own code: real certificates from the
// test certificate factory, history files written by saveFile(), the
// messages the framework logs while doing so, and the expiry dates of the
// records. The build runs it; the seeds are not kept in the source tree.
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <memory>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "CertificateFactory.h"
#include "FuzzSupport.h"
#include "VelkCommon/VelkException.h"
#include "VelkCommon/VelkHexUtility.h"
#include "VelkCommon/VelkLog.h"
#include "VelkUpdateReminder/VelkCertificateHistoryFileController.h"
#include "VelkUpdateReminder/VelkCertificateHistoryInfo.h"
#include "VelkUpdateReminder/VelkUpdateReminderCommon.h"
#include "VelkUserCertService/VelkX509Certificate.h"
#include "foundation/Calendar.h"

namespace {

namespace fs = std::filesystem;
using velktest::CertificateFactory;
using velktest::CertificateOptions;
using velktest::TimeEncoding;

std::vector<std::pair<std::string, CertificateOptions>> certificateShapes() {
  const auto shape = [](std::vector<std::uint8_t> serial, std::chrono::sys_seconds notAfter,
                        TimeEncoding encoding = TimeEncoding::kRfc5280) {
    return CertificateOptions{
        .serial = std::move(serial), .notAfter = notAfter, .notAfterEncoding = encoding};
  };
  const auto utc = &CertificateFactory::utc;
  std::vector<std::pair<std::string, CertificateOptions>> shapes = {
      {"serial-01", shape({0x01}, utc(2030, 10, 10, 12, 0, 0))},
      {"serial-zero", shape({}, utc(2031, 1, 31, 0, 0, 0))},
      {"serial-7F", shape({0x7F}, utc(2027, 1, 31, 0, 0, 0))},
      {"serial-80-leading-zero-octet", shape({0x80}, utc(2029, 2, 28, 0, 0, 0))},
      {"serial-20-octets", shape({0x5A, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x09,
                                  0x0A, 0x0B, 0x0C, 0x0D, 0x0E, 0x0F, 0x10, 0x11, 0x12, 0x13},
                                 utc(2035, 6, 15, 0, 0, 0))},
      {"serial-FFFF", shape({0xFF, 0xFF}, utc(2028, 12, 31, 23, 59, 59))},
      {"serial-negative",
       {.serial = {0x80}, .negativeSerial = true, .notAfter = utc(2030, 1, 1, 0, 0, 0)}},
      {"expiry-reiwa-first-day", shape({0x19, 0x05, 0x01}, utc(2019, 5, 1, 3, 0, 0))},
      {"expiry-heisei-last-day", shape({0x19, 0x04, 0x30}, utc(2019, 4, 30, 3, 0, 0))},
      {"expiry-showa-last-day", shape({0x19, 0x89, 0x01, 0x07}, utc(1989, 1, 7, 3, 0, 0))},
      {"expiry-utctime-1950",
       shape({0x19, 0x50}, utc(1950, 1, 1, 0, 0, 0), TimeEncoding::kUtcTime)},
      {"expiry-utctime-2049",
       shape({0x20, 0x49}, utc(2049, 12, 31, 23, 59, 59), TimeEncoding::kUtcTime)},
      {"expiry-generalized-2050", shape({0x20, 0x50}, utc(2050, 1, 1, 0, 0, 0))},
      {"expiry-generalized-1969",
       shape({0x19, 0x69}, utc(1969, 12, 31, 23, 59, 59), TimeEncoding::kGeneralizedTime)},
      {"expiry-generalized-9999",
       shape({0x99, 0x99}, utc(9999, 12, 31, 23, 59, 59), TimeEncoding::kGeneralizedTime)},
      {"expiry-generalized-0001", shape({0x00, 0x01}, utc(1, 1, 1, 0, 0, 0))},
  };
  for (const char* raw : {"20230230000000Z", "20300101000000+0900", "2030010100Z",
                          "20301301000000Z", "20301231235960Z"}) {
    shapes.emplace_back(std::string("expiry-raw-") + raw,
                        CertificateOptions{.serial = {0x0B, 0xAD}, .rawNotAfter = raw});
  }
  return shapes;
}

// The record a recording builds from `der`, or nullptr when it yields none
// (also when the certificate does not decode, as some malformed times do not
// with newer OpenSSL versions).
std::shared_ptr<VelkCertificateHistoryInfo> recordOf(const std::vector<std::int8_t>& der,
                                                     const std::string& dcClass,
                                                     const foundation::DateComponents& openTime) {
  std::optional<VelkX509Certificate> parsed;
  try {
    parsed.emplace(der);
  } catch (const VelkException&) {
    return nullptr;
  }
  if (!parsed->getNotAfter() || !parsed->getSerialNumber()) {
    return nullptr;
  }
  auto info = std::make_shared<VelkCertificateHistoryInfo>();
  info->setDcClass(dcClass);
  info->setNotAfter(*parsed->getNotAfter());
  info->setSerialNumber(VelkHexUtility::toHexString(*parsed->getSerialNumber()));
  info->setOpenTime(openTime);
  return info->selfCheck() ? info : nullptr;
}

// Writes each of `seeds` as <folder>/<prefix><number>.
void writeSeeds(const fs::path& folder, const std::string& prefix,
                const std::set<std::string>& seeds) {
  int number = 0;
  for (const std::string& seed : seeds) {
    velkfuzz::writeFile(folder / (prefix + std::to_string(++number)), seed);
  }
}

void writeAllSeeds(const fs::path& out) {
  fs::remove_all(out);
  // The certificates, every one made and signed afresh; card files are
  // padded behind the certificate.
  std::vector<std::vector<std::int8_t>> certificates;
  for (const auto& [name, options] : certificateShapes()) {
    certificates.push_back(CertificateFactory::make(options).der);
    const std::vector<std::int8_t>& der = certificates.back();
    velkfuzz::writeFile(out / "x509_certificate" / (name + ".der"),
                        std::string_view(reinterpret_cast<const char*>(der.data()), der.size()));
  }
  std::vector<std::int8_t> padded = certificates.front();
  padded.resize(padded.size() + 64, 0);
  velkfuzz::writeFile(
      out / "x509_certificate" / "serial-01-padded.der",
      std::string_view(reinterpret_cast<const char*>(padded.data()), padded.size()));

  // History files as saveFile() writes them: no records and up to twelve (two
  // more than a read takes), the setting on and off. Recording times: now,
  // and local times of a few fixed UTC instants.
  const foundation::Calendar calendar = foundation::Calendar::current();
  const std::vector<foundation::DateComponents> openTimes = {
      VelkUpdateReminderCommon::getSystemDate(),
      calendar.dateComponents(CertificateFactory::utc(2025, 3, 9, 14, 5, 0)),
      calendar.dateComponents(CertificateFactory::utc(2019, 4, 30, 14, 59, 59)),
      calendar.dateComponents(CertificateFactory::utc(1999, 12, 31, 0, 0, 0))};
  std::vector<std::shared_ptr<VelkCertificateHistoryInfo>> records;
  for (const std::vector<std::int8_t>& der : certificates) {
    const std::size_t n = records.size();
    if (auto info = recordOf(der, n % 3 == 2 ? "S" : "A", openTimes[n % openTimes.size()])) {
      records.push_back(std::move(info));
    }
  }
  for (const std::size_t count : {0, 1, 3, 10, 12}) {
    for (const bool isUpdate : {false, true}) {
      VelkCertificateHistoryFileController controller;
      controller.setUpdateSetting(isUpdate);
      for (std::size_t i = 0; i < count && i < records.size(); ++i) {
        controller.addCirtificateFile(records[i]);
      }
      if (!controller.saveFile()) {
        throw std::runtime_error("saveFile() failed");
      }
      velkfuzz::writeFile(
          out / "history_file" / ("records-" + std::to_string(count) + (isUpdate ? "-on" : "-off")),
          velkfuzz::readFile(VelkUpdateReminderCommon::getCertificateHistoryFilePath()));
    }
  }

  // The messages the framework logged meanwhile, and a few that hold what
  // the log escapes.
  std::set<std::string> messages = {"", "one\ntwo\tthree\r\\four\\", "\\n is no line feed\\",
                                    "令和7年3月31日\r\n", std::string("nul\0byte\xff", 9)};
  const std::string log =
      velkfuzz::readFile(VelkLog::getLogFilePath(LogFilePrefix::VELK_UPDATE_REMINDER));
  for (std::size_t start = 0, end; (end = log.find('\n', start)) != std::string::npos;
       start = end + 1) {
    const auto message = velkfuzz::messageOf(std::string_view(log).substr(start, end - start));
    if (!message) {
      throw std::runtime_error("a log line whose message does not read");
    }
    messages.insert(*message);
  }
  writeSeeds(out / "log_message", "message-", messages);

  // The records' expiry dates, and texts around what ChangeWareki(strDate:)
  // takes: short, non-digit, multi-byte and trailing text.
  std::set<std::string> texts = {"",
                                 "2019-04-30",
                                 "2019-05-01 00:00:00",
                                 "1912-07-29",
                                 "2023/13x99",
                                 "2023-04-1",
                                 "２０２３-04-01",
                                 "令和五年四月一日",
                                 "2023-04-\xff\xfe",
                                 std::string("2023-04\0-01", 11)};
  for (const auto& record : records) {
    texts.insert(record->getNotAfter());
  }
  writeSeeds(out / "change_wareki", "date-", texts);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: velk-make-fuzz-seeds DIR\n");
    return 2;
  }
  try {
    const velkfuzz::FuzzHome home;
    writeAllSeeds(argv[1]);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "velk-make-fuzz-seeds: %s\n", error.what());
    return 1;
  }
  return 0;
}
