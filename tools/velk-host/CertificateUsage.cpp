#include "CertificateUsage.h"

#include <openssl/err.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <memory>

CertificateUsage CertificateUsage::of(const std::vector<std::int8_t>& der) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(der.data());
  const std::unique_ptr<X509, decltype(&X509_free)> certificate(
      d2i_X509(nullptr, &bytes, static_cast<long>(der.size())), &X509_free);
  // Reading the extensions also tells whether they are valid.
  const std::uint32_t flags = certificate ? X509_get_extension_flags(certificate.get()) : 0;
  ERR_clear_error();
  if (!certificate || (flags & EXFLAG_INVALID) != 0) {
    return {"", "not a certificate OpenSSL reads", false};
  }
  if ((flags & EXFLAG_CA) != 0) {
    return {"", "a CA certificate", true};
  }
  const bool hasKeyUsage = (flags & EXFLAG_KUSAGE) != 0;
  const std::uint32_t keyUsage = hasKeyUsage ? X509_get_key_usage(certificate.get()) : 0;
  const bool clientAuth = (flags & EXFLAG_XKUSAGE) != 0 &&
                          (X509_get_extended_key_usage(certificate.get()) & XKU_SSL_CLIENT) != 0;
  if ((keyUsage & KU_NON_REPUDIATION) != 0) {
    return {"S", "", false};
  }
  if ((keyUsage & KU_DIGITAL_SIGNATURE) != 0 || clientAuth) {
    return {"A", "", false};
  }
  return {"",
          "neither for signing (keyUsage nonRepudiation) nor for authentication (keyUsage "
          "digitalSignature or extended key usage clientAuth)",
          false};
}
