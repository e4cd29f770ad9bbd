#pragma once

#include <cstdint>
#include <string>
#include <vector>

// A certificate file as a person hands it to velk-host: DER, or PEM text
// holding a "CERTIFICATE" block.
class CertificateFile {
 public:
  CertificateFile() = delete;

  // The DER bytes of the certificate in the file at `path`: the file's bytes
  // as they are, or, when the file holds "-----BEGIN CERTIFICATE-----", the
  // decoded content of its first CERTIFICATE block. The bytes are not
  // checked to be a certificate; that is the recording's job. Throws
  // std::runtime_error with a one-line message when the file cannot be read,
  // is empty, or its PEM block cannot be decoded.
  static std::vector<std::int8_t> read(const std::string& path);
};
