#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace velktest {

// How a certificate's notAfter is encoded.
enum class TimeEncoding {
  kRfc5280,          // UTCTime for the years 1950..2049, GeneralizedTime otherwise
  kUtcTime,          // "YYMMDDHHMMSSZ", only for the years 1950..2049
  kGeneralizedTime,  // "YYYYMMDDHHMMSSZ", for the years 0..9999
};

// What a made certificate carries. Instants are whole seconds since the epoch
// (UTC); unlike foundation::Date they reach the year 9999.
struct CertificateOptions {
  // The serial number's magnitude, big-endian; leading zero bytes do not
  // count, empty means 0. It is encoded as a DER INTEGER, two's complement,
  // so a first byte with the high bit set gains a leading 0x00 octet.
  std::vector<std::uint8_t> serial{0x01};
  // Makes the serial number -magnitude (ignored for 0).
  bool negativeSerial = false;
  std::chrono::sys_seconds notAfter{std::chrono::sys_days{std::chrono::year{2040} / 1 / 1}};
  TimeEncoding notAfterEncoding = TimeEncoding::kRfc5280;
  // When set, written as the notAfter's content octets as they are, with the
  // tag of notAfterEncoding (GeneralizedTime for kRfc5280), in place of
  // notAfter: for certificates whose notAfter is not a valid time.
  std::optional<std::string> rawNotAfter = std::nullopt;
  // Extensions in OpenSSL's configuration syntax, none when empty:
  // keyUsage ("digitalSignature,nonRepudiation") and extendedKeyUsage
  // ("clientAuth"). The initialisers let designated initialisers leave them
  // out (clang warns otherwise).
  std::string keyUsage{};          // NOLINT(readability-redundant-member-init)
  std::string extendedKeyUsage{};  // NOLINT(readability-redundant-member-init)
  // Adds the critical basicConstraints "CA:TRUE".
  bool authority = false;
};

// A made certificate in both encodings.
struct MadeCertificate {
  std::vector<std::int8_t> der;
  std::string pem;
};

// Makes real X.509 v3 certificates, self-signed with ECDSA/SHA-256 by a P-256
// key that is generated on first use and shared by the whole process.
class CertificateFactory {
 public:
  CertificateFactory() = delete;

  // A certificate as `options` describe, DER- and PEM-encoded. Throws
  // std::invalid_argument when notAfter cannot be encoded as asked (a year
  // outside 0..9999, or outside 1950..2049 for UTCTime), std::runtime_error
  // when OpenSSL fails.
  static MadeCertificate make(const CertificateOptions& options);
  // make() with the given serial magnitude and notAfter, other options default.
  static MadeCertificate make(std::vector<std::uint8_t> serial, std::chrono::sys_seconds notAfter);

  // Noon, local time, of the calendar day `count` days after today
  // (foundation::now() in the system time zone; a negative `count` goes back).
  // Its calendar day in that zone is the asked one.
  static std::chrono::sys_seconds daysFromToday(int count);
  // Noon, local time, of `date`. Throws std::invalid_argument for an invalid date.
  static std::chrono::sys_seconds localNoon(std::chrono::year_month_day date);
  // The instant year-month-day hour:minute:second UTC. Throws
  // std::invalid_argument for an invalid date or time of day.
  static std::chrono::sys_seconds utc(int year, unsigned month, unsigned day, int hour = 0,
                                      int minute = 0, int second = 0);
};

}  // namespace velktest
