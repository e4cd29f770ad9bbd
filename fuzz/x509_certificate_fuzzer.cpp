// Feeds arbitrary bytes to VelkX509Certificate(der:) and its getters. The
// constructor must either throw VelkException or give a certificate whose
// getters keep their promises; any other exception, crash or sanitizer report
// is a defect.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <vector>

#include "VelkCommon/VelkException.h"
#include "VelkCommon/VelkHexUtility.h"
#include "VelkUserCertService/VelkX509Certificate.h"

namespace {

[[noreturn]] void fail(const char* what) {
  std::fprintf(stderr, "x509_certificate_fuzzer: %s\n", what);
  std::abort();
}

struct Parsed {
  std::optional<foundation::Date> notAfter;
  std::optional<std::vector<std::int8_t>> serialNumber;

  bool operator==(const Parsed&) const = default;
};

std::optional<Parsed> parse(const std::vector<std::int8_t>& der) {
  try {
    const VelkX509Certificate certificate(der);
    return Parsed{certificate.getNotAfter(), certificate.getSerialNumber()};
  } catch (const VelkException& refused) {
    if (refused.getMessage().empty() || refused.getLocation() != "VelkX509Certificate(der:)") {
      fail("a refusal without message or with another location");
    }
    return std::nullopt;
  }
}

// The serial number is the content of a DER INTEGER: never empty, and never
// led by an octet that only repeats the sign of the next one.
void checkSerialNumber(const std::vector<std::int8_t>& serial) {
  if (serial.empty()) {
    fail("an empty serial number");
  }
  if (serial.size() > 1) {
    const auto first = static_cast<std::uint8_t>(serial[0]);
    const bool nextHighBit = (static_cast<std::uint8_t>(serial[1]) & 0x80U) != 0;
    if ((first == 0x00 && !nextHighBit) || (first == 0xFF && nextHighBit)) {
      fail("a serial number that is not in its shortest form");
    }
  }
  if (VelkHexUtility::toHexString(serial).size() != 2 * serial.size()) {
    fail("hexadecimal text of the wrong length");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<std::int8_t> der(data, data + size);
  const std::optional<Parsed> parsed = parse(der);
  if (!parsed) {
    return 0;
  }
  if (parsed->serialNumber) {
    checkSerialNumber(*parsed->serialNumber);
  }
  // Card files are padded: bytes behind the certificate change nothing.
  der.insert(der.end(), {0, 0, 0, -1, 0x30, 0x03, 0x02, 0x01, 0x01});
  if (parse(der) != parsed) {
    fail("padding behind the certificate changed what was read");
  }
  return 0;
}
