#pragma once

#include <cstdint>
#include <string>
#include <vector>

// What a certificate read from a card is for, from its extensions.
struct CertificateUsage {
  // "S" for signing (keyUsage nonRepudiation), else "A" for authentication
  // (keyUsage digitalSignature, or extended key usage clientAuth); empty when
  // it is neither, is a CA certificate or is not a certificate at all.
  std::string dcClass;
  // Why dcClass is empty.
  std::string reason;
  // Whether it is a CA certificate (basicConstraints CA true).
  bool authority = false;

  // The usage of the certificate `der`, read by OpenSSL.
  static CertificateUsage of(const std::vector<std::int8_t>& der);
};
