// Feeds arbitrary bytes to VelkX509Certificate(der:) and its getters. The
// constructor must either throw VelkException or give a certificate whose
// getters keep their promises; any other exception, crash or sanitizer report
// is a defect.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

#include "FuzzSupport.h"
#include "VelkCommon/VelkException.h"
#include "VelkCommon/VelkHexUtility.h"
#include "VelkUserCertService/VelkX509Certificate.h"

namespace {

using velkfuzz::fail;
using Parsed = std::pair<std::optional<foundation::Date>, std::optional<std::vector<std::int8_t>>>;

// The expiry and serial number read from `der`; none when it is refused.
std::optional<Parsed> parse(const std::vector<std::int8_t>& der) {
  try {
    const VelkX509Certificate certificate(der);
    return Parsed{certificate.getNotAfter(), certificate.getSerialNumber()};
  } catch (const VelkException& refused) {
    if (refused.getMessage().empty() || refused.getLocation() != "VelkX509Certificate(der:)") {
      fail("x509_certificate_fuzzer: a refusal without message or with another location");
    }
    return std::nullopt;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<std::int8_t> der(data, data + size);
  const std::optional<Parsed> parsed = parse(der);
  if (!parsed) {
    return 0;
  }
  // The serial number is the content of a DER INTEGER: never empty, and never
  // led by an octet that only repeats the sign of the next one.
  if (const auto& serial = parsed->second) {
    const auto octet = [&](std::size_t i) { return static_cast<std::uint8_t>((*serial)[i]); };
    if (serial->empty() || (serial->size() > 1 && ((octet(0) == 0x00 && octet(1) < 0x80) ||
                                                   (octet(0) == 0xFF && octet(1) >= 0x80)))) {
      fail("x509_certificate_fuzzer: a serial number empty or not in its shortest form");
    }
    if (VelkHexUtility::toHexString(*serial).size() != 2 * serial->size()) {
      fail("x509_certificate_fuzzer: hexadecimal text of the wrong length");
    }
  }
  // Card files are padded: bytes behind the certificate change nothing.
  der.insert(der.end(), {0, 0, 0, -1, 0x30, 0x03, 0x02, 0x01, 0x01});
  if (parse(der) != parsed) {
    fail("x509_certificate_fuzzer: padding behind the certificate changed what was read");
  }
  return 0;
}
