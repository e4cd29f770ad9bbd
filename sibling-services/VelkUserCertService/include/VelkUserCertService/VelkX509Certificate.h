#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "VelkUserCertService/VelkUserCertServiceExport.h"
#include "foundation/Date.h"

// An X.509 certificate decoded from its DER encoding. The object keeps only
// the values it hands out; it holds no reference to the input.
class VELKUSERCERTSERVICE_EXPORT VelkX509Certificate {
 public:
  // Decodes the certificate at the start of `der`. Bytes after the
  // certificate's outer SEQUENCE are ignored (card files are padded).
  // Throws VelkException, with a message and the location
  // "VelkX509Certificate(der:)", when `der` is absent or empty or does not
  // start with a certificate that can be decoded; no other exception leaves.
  // The input is never changed.
  explicit VelkX509Certificate(const std::optional<std::vector<std::int8_t>>& der);
  virtual ~VelkX509Certificate();

  VelkX509Certificate(const VelkX509Certificate&) = default;
  VelkX509Certificate& operator=(const VelkX509Certificate&) = default;
  VelkX509Certificate(VelkX509Certificate&&) = default;
  VelkX509Certificate& operator=(VelkX509Certificate&&) = default;

  // The end of the validity period, converted exactly from its UTCTime or
  // GeneralizedTime (to the second, UTC). None when the certificate's time
  // text does not denote a valid instant. Never throws.
  virtual std::optional<foundation::Date> getNotAfter() const;

  // The content octets of the serial number's DER INTEGER as encoded: two's
  // complement, big-endian, so a positive number whose first byte has the high
  // bit set starts with a 0x00 octet. Never empty when present; never throws.
  virtual std::optional<std::vector<std::int8_t>> getSerialNumber() const;

 private:
  std::optional<foundation::Date> notAfter_;
  std::optional<std::vector<std::int8_t>> serialNumber_;
};
