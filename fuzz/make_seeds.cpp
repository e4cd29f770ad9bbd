// velk-make-fuzz-seeds DIR: writes the seed corpus of every fuzz target into
// DIR/<target>/, made by the project's own code: real certificates from the
// test certificate factory, history files written by saveFile(), and the
// messages the framework logs while doing so. The build runs it; the seeds
// are not kept in the source tree.
//
// One function a target; a new target adds its function to main().

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "CertificateFactory.h"
#include "VelkCommon/VelkHexUtility.h"
#include "VelkUpdateReminder/VelkCertificateHistoryFileController.h"
#include "VelkUpdateReminder/VelkCertificateHistoryInfo.h"
#include "VelkUpdateReminder/VelkUpdateReminderCommon.h"
#include "VelkUserCertService/VelkX509Certificate.h"
#include "foundation/Calendar.h"
#include "support/FuzzFiles.h"
#include "support/FuzzHome.h"
#include "support/LogText.h"

namespace {

namespace fs = std::filesystem;
using velktest::CertificateFactory;
using velktest::CertificateOptions;
using velktest::TimeEncoding;

struct NamedCertificate {
  std::string name;
  std::vector<std::int8_t> der;
};

CertificateOptions certificate(std::vector<std::uint8_t> serial, std::chrono::sys_seconds notAfter,
                               TimeEncoding encoding = TimeEncoding::kRfc5280) {
  CertificateOptions options;
  options.serial = std::move(serial);
  options.notAfter = notAfter;
  options.notAfterEncoding = encoding;
  return options;
}

// Certificates of several serial number and expiry shapes, every one made
// and signed afresh.
std::vector<NamedCertificate> makeCertificates() {
  const auto utc = [](int year, unsigned month, unsigned day, int hour = 0, int minute = 0,
                      int second = 0) {
    return CertificateFactory::utc(year, month, day, hour, minute, second);
  };
  std::vector<std::pair<std::string, CertificateOptions>> shapes = {
      {"serial-01", certificate({0x01}, utc(2030, 10, 10, 12))},
      {"serial-zero", certificate({}, utc(2031, 1, 31))},
      {"serial-7F", certificate({0x7F}, utc(2027, 1, 31))},
      {"serial-80-leading-zero-octet", certificate({0x80}, utc(2029, 2, 28))},
      {"serial-20-octets", certificate({0x5A, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x09,
                                        0x0A, 0x0B, 0x0C, 0x0D, 0x0E, 0x0F, 0x10, 0x11, 0x12, 0x13},
                                       utc(2035, 6, 15))},
      {"serial-FFFF", certificate({0xFF, 0xFF}, utc(2028, 12, 31, 23, 59, 59))},
      {"expiry-reiwa-first-day", certificate({0x19, 0x05, 0x01}, utc(2019, 5, 1, 3))},
      {"expiry-heisei-last-day", certificate({0x19, 0x04, 0x30}, utc(2019, 4, 30, 3))},
      {"expiry-showa-last-day", certificate({0x19, 0x89, 0x01, 0x07}, utc(1989, 1, 7, 3))},
      {"expiry-utctime-1950", certificate({0x19, 0x50}, utc(1950, 1, 1), TimeEncoding::kUtcTime)},
      {"expiry-utctime-2049",
       certificate({0x20, 0x49}, utc(2049, 12, 31, 23, 59, 59), TimeEncoding::kUtcTime)},
      {"expiry-generalized-2050", certificate({0x20, 0x50}, utc(2050, 1, 1))},
      {"expiry-generalized-1969",
       certificate({0x19, 0x69}, utc(1969, 12, 31, 23, 59, 59), TimeEncoding::kGeneralizedTime)},
      {"expiry-generalized-9999",
       certificate({0x99, 0x99}, utc(9999, 12, 31, 23, 59, 59), TimeEncoding::kGeneralizedTime)},
      {"expiry-generalized-0001", certificate({0x00, 0x01}, utc(1, 1, 1))},
  };
  CertificateOptions negative = certificate({0x80}, utc(2030, 1, 1));
  negative.negativeSerial = true;
  shapes.emplace_back("serial-negative", negative);
  for (const char* raw : {"20230230000000Z", "20300101000000+0900", "2030010100Z",
                          "20301301000000Z", "20301231235960Z"}) {
    CertificateOptions options = certificate({0x0B, 0xAD}, utc(2030, 1, 1));
    options.rawNotAfter = raw;
    shapes.emplace_back(std::string("expiry-raw-") + raw, options);
  }

  std::vector<NamedCertificate> made;
  made.reserve(shapes.size() + 1);
  for (const auto& [name, options] : shapes) {
    made.push_back({name, CertificateFactory::make(options).der});
  }
  // Card files are padded behind the certificate.
  NamedCertificate padded = made.front();
  padded.name += "-padded";
  padded.der.resize(padded.der.size() + 64, 0);
  made.push_back(std::move(padded));
  return made;
}

fs::path freshFolder(const fs::path& folder) {
  fs::remove_all(folder);
  fs::create_directories(folder);
  return folder;
}

void writeSeed(const fs::path& path, std::string_view bytes) {
  velkfuzz::writeFileOrAbort(path.string(), reinterpret_cast<const std::uint8_t*>(bytes.data()),
                             bytes.size());
}

void writeX509Seeds(const fs::path& folder, const std::vector<NamedCertificate>& certificates) {
  for (const NamedCertificate& made : certificates) {
    writeSeed(folder / (made.name + ".der"),
              std::string_view(reinterpret_cast<const char*>(made.der.data()), made.der.size()));
  }
}

// The record a recording builds from a certificate, or nullptr when the
// certificate yields none.
std::shared_ptr<VelkCertificateHistoryInfo> recordOf(const NamedCertificate& made,
                                                     const std::string& dcClass,
                                                     const foundation::DateComponents& openTime) {
  const VelkX509Certificate parsed(made.der);
  const std::optional<foundation::Date> notAfter = parsed.getNotAfter();
  const std::optional<std::vector<std::int8_t>> serial = parsed.getSerialNumber();
  if (!notAfter || !serial) {
    return nullptr;
  }
  auto info = std::make_shared<VelkCertificateHistoryInfo>();
  info->setDcClass(dcClass);
  info->setNotAfter(*notAfter);
  info->setSerialNumber(VelkHexUtility::toHexString(*serial));
  info->setOpenTime(openTime);
  return info->selfCheck() ? info : nullptr;
}

// History files as saveFile() writes them: no records and up to twelve (two
// more than a read takes), the setting on and off.
void writeHistorySeeds(const fs::path& folder, const velkfuzz::FuzzHome& home,
                       const std::vector<NamedCertificate>& certificates) {
  // Recording times: now, and local times of a few fixed UTC instants.
  const foundation::Calendar calendar = foundation::Calendar::current();
  std::vector<foundation::DateComponents> openTimes = {VelkUpdateReminderCommon::getSystemDate()};
  for (const std::chrono::sys_seconds instant :
       {CertificateFactory::utc(2025, 3, 9, 14, 5),
        CertificateFactory::utc(2019, 4, 30, 14, 59, 59), CertificateFactory::utc(1999, 12, 31)}) {
    openTimes.push_back(calendar.dateComponents(instant));
  }
  std::vector<std::shared_ptr<VelkCertificateHistoryInfo>> records;
  for (const NamedCertificate& made : certificates) {
    const std::size_t index = records.size();
    if (auto info =
            recordOf(made, index % 3 == 2 ? "S" : "A", openTimes[index % openTimes.size()])) {
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
      writeSeed(folder / ("records-" + std::to_string(count) + (isUpdate ? "-on" : "-off")),
                velkfuzz::readFileOrAbort(home.historyFile()));
    }
  }
}

// The messages the framework logged while the other seeds were made, and a
// few that hold what the log escapes.
void writeLogMessageSeeds(const fs::path& folder, const velkfuzz::FuzzHome& home) {
  std::set<std::string> messages = {"", "one\ntwo\tthree\r\\four\\", "\\n is no line feed\\",
                                    "令和7年3月31日\r\n", std::string("nul\0byte", 8)};
  const std::string log = velkfuzz::readFileOrAbort(home.logFile());
  std::size_t start = 0;
  for (std::size_t end = log.find('\n'); end != std::string::npos;
       start = end + 1, end = log.find('\n', start)) {
    const std::optional<std::string_view> escaped =
        velkfuzz::escapedMessageOf(std::string_view(log).substr(start, end - start));
    if (!escaped) {
      throw std::runtime_error("a log line without message");
    }
    const std::optional<std::string> message = velkfuzz::unescapeLogMessage(*escaped);
    if (!message) {
      throw std::runtime_error("a log message that does not unescape");
    }
    messages.insert(*message);
  }
  int number = 0;
  for (const std::string& message : messages) {
    writeSeed(folder / ("message-" + std::to_string(++number)), message);
  }
}

// Expiry dates as a record holds them, from every certificate that yields
// one, and texts around what ChangeWareki(strDate:) takes: short, non-digit,
// multi-byte and trailing text.
void writeChangeWarekiSeeds(const fs::path& folder,
                            const std::vector<NamedCertificate>& certificates) {
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
  const foundation::DateComponents openTime = VelkUpdateReminderCommon::getSystemDate();
  for (const NamedCertificate& made : certificates) {
    if (const auto info = recordOf(made, "A", openTime)) {
      texts.insert(info->getNotAfter());
    }
  }
  int number = 0;
  for (const std::string& text : texts) {
    writeSeed(folder / ("date-" + std::to_string(++number)), text);
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: velk-make-fuzz-seeds DIR\n");
    return 2;
  }
  try {
    const fs::path out = argv[1];
    const velkfuzz::FuzzHome home;
    const std::vector<NamedCertificate> certificates = makeCertificates();
    writeX509Seeds(freshFolder(out / "x509_certificate"), certificates);
    writeHistorySeeds(freshFolder(out / "history_file"), home, certificates);
    writeLogMessageSeeds(freshFolder(out / "log_message"), home);
    writeChangeWarekiSeeds(freshFolder(out / "change_wareki"), certificates);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "velk-make-fuzz-seeds: %s\n", error.what());
    return 1;
  }
  return 0;
}
