#include "VelkUserCertService/VelkX509Certificate.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "CertificateFactory.h"
#include "VelkCommon/VelkException.h"

namespace {

using namespace std::chrono;
using velktest::CertificateFactory;
using velktest::CertificateOptions;
using velktest::TimeEncoding;
using Bytes = std::vector<std::int8_t>;

Bytes signedBytes(const std::vector<int>& values) { return {values.begin(), values.end()}; }

Bytes sampleDer() {
  return CertificateFactory::make({0x12, 0x34}, CertificateFactory::utc(2040, 6, 1)).der;
}

// Whether `der` is refused the documented way: a VelkException that says what
// went wrong and names the constructor.
testing::AssertionResult refused(const std::optional<Bytes>& der) {
  try {
    const VelkX509Certificate certificate(der);
    return testing::AssertionFailure() << "accepted";
  } catch (const VelkException& error) {
    if (error.getMessage().empty() || error.getLocation() != "VelkX509Certificate(der:)") {
      return testing::AssertionFailure()
             << "message '" << error.getMessage() << "', location '" << error.getLocation() << "'";
    }
    return testing::AssertionSuccess();
  }
}

// Whether the DER holds the ASN.1 time `tag` with content `text`.
bool holdsTime(const Bytes& der, int tag, const std::string& text) {
  Bytes needle = {static_cast<std::int8_t>(tag), static_cast<std::int8_t>(text.size())};
  needle.insert(needle.end(), text.begin(), text.end());
  return std::search(der.begin(), der.end(), needle.begin(), needle.end()) != der.end();
}

TEST(VelkX509CertificateTest, SerialNumberIsTheIntegersContentOctets) {
  struct Case {
    std::vector<std::uint8_t> magnitude;
    bool negative;
    std::vector<int> octets;
  };
  // 20-byte serials; with the high bit set they take 21 octets, one more than
  // RFC 5280 allows, which a parser still has to read.
  const std::vector<std::uint8_t> twenty(20, 0x5A);
  const std::vector<std::uint8_t> twentyHigh(20, 0x9A);
  std::vector<int> twentyHighOctets(twentyHigh.begin(), twentyHigh.end());
  twentyHighOctets.insert(twentyHighOctets.begin(), 0x00);
  const std::vector<Case> cases = {
      {{0x01}, false, {0x01}},
      {{0x80, 0x01}, false, {0x00, 0x80, 0x01}},  // high bit set: a leading zero octet
      {{0x7F, 0xFF}, false, {0x7F, 0xFF}},
      {{0x00, 0x00, 0x05}, false, {0x05}},
      {{}, false, {0x00}},
      {{0x01}, true, {0xFF}},
      {{0x80}, true, {0x80}},
      {{0x81}, true, {0xFF, 0x7F}},
      {twenty, false, {twenty.begin(), twenty.end()}},
      {twentyHigh, false, twentyHighOctets},
  };
  for (const Case& c : cases) {
    CertificateOptions options;
    options.serial = c.magnitude;
    options.negativeSerial = c.negative;
    const VelkX509Certificate certificate(CertificateFactory::make(options).der);
    EXPECT_EQ(certificate.getSerialNumber(), signedBytes(c.octets))
        << "magnitude of " << c.magnitude.size() << " bytes, negative " << c.negative;
  }
}

TEST(VelkX509CertificateTest, NotAfterIsExactInBothTimeEncodings) {
  struct Case {
    sys_seconds instant;
    TimeEncoding encoding;
    int tag;
    std::string text;
  };
  const auto utc = CertificateFactory::utc;
  const std::vector<Case> cases = {
      {utc(1950, 1, 1, 0, 0, 0), TimeEncoding::kRfc5280, 0x17, "500101000000Z"},
      {utc(1969, 12, 31, 23, 59, 59), TimeEncoding::kRfc5280, 0x17, "691231235959Z"},
      {utc(2038, 1, 19, 3, 14, 8), TimeEncoding::kRfc5280, 0x17, "380119031408Z"},
      {utc(2049, 12, 31, 23, 59, 59), TimeEncoding::kRfc5280, 0x17, "491231235959Z"},
      {utc(2050, 1, 1, 0, 0, 0), TimeEncoding::kRfc5280, 0x18, "20500101000000Z"},
      {utc(2024, 2, 29, 12, 34, 56), TimeEncoding::kGeneralizedTime, 0x18, "20240229123456Z"},
      {utc(1950, 6, 15, 1, 2, 3), TimeEncoding::kGeneralizedTime, 0x18, "19500615010203Z"},
      {utc(2000, 2, 29, 23, 0, 1), TimeEncoding::kUtcTime, 0x17, "000229230001Z"},
      {utc(2262, 4, 11, 0, 0, 0), TimeEncoding::kRfc5280, 0x18, "22620411000000Z"},
      // The usual "no expiry" of certificates, and a time long past.
      {utc(9999, 12, 31, 23, 59, 59), TimeEncoding::kRfc5280, 0x18, "99991231235959Z"},
      {utc(1600, 1, 1, 0, 0, 0), TimeEncoding::kGeneralizedTime, 0x18, "16000101000000Z"},
  };
  for (const Case& c : cases) {
    CertificateOptions options;
    options.notAfter = c.instant;
    options.notAfterEncoding = c.encoding;
    const Bytes der = CertificateFactory::make(options).der;
    EXPECT_TRUE(holdsTime(der, c.tag, c.text)) << c.text;
    EXPECT_EQ(VelkX509Certificate(der).getNotAfter(), foundation::Date(c.instant)) << c.text;
  }
}

// An expiry that is no time never yields a date: OpenSSL 3.0 decodes such a
// certificate and only its time is unreadable; later versions refuse some of
// them as a whole.
TEST(VelkX509CertificateTest, UnreadableTimeTextGivesNoNotAfter) {
  for (const std::string text : {"20501332000000Z", "2050", "abcdefghijklmnZ"}) {
    CertificateOptions options;
    options.rawNotAfter = text;
    options.serial = {0x42};
    const Bytes der = CertificateFactory::make(options).der;
    if (refused(der)) {
      continue;
    }
    const VelkX509Certificate certificate(der);
    EXPECT_EQ(certificate.getNotAfter(), std::nullopt) << text;
    EXPECT_EQ(certificate.getSerialNumber(), signedBytes({0x42})) << text;
  }
}

TEST(VelkX509CertificateTest, RefusesAbsentEmptyTruncatedAndPemInput) {
  EXPECT_TRUE(refused(std::nullopt));
  EXPECT_TRUE(refused(Bytes{}));
  const std::string pem = CertificateFactory::make({0x01}, CertificateFactory::utc(2040, 1, 1)).pem;
  EXPECT_TRUE(refused(Bytes(pem.begin(), pem.end())));
  const Bytes der = sampleDer();
  for (std::size_t length = 1; length < der.size(); ++length) {
    EXPECT_TRUE(refused(Bytes(der.begin(), der.begin() + static_cast<long>(length))))
        << "first " << length << " of " << der.size() << " bytes";
  }
}

}  // namespace
