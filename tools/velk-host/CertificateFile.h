#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// A certificate file as a person hands it to velk-host: DER, or PEM text
// holding a "CERTIFICATE" block.
class CertificateFile {
 public:
  CertificateFile() = delete;

  // The largest file read: a certificate takes a few kilobytes at most, so a
  // larger file is refused unread rather than read whole.
  static constexpr std::size_t kLargestFile = std::size_t{1} << 20;

  // The DER bytes of the certificate in the file at `path`: the file's bytes
  // as they are, or, when the file holds "-----BEGIN CERTIFICATE-----", the
  // decoded content of its first CERTIFICATE block. The bytes are not
  // checked to be a certificate. Throws std::runtime_error with a one-line
  // message naming the path when the file cannot be read, is larger than
  // kLargestFile, is empty, or its PEM block cannot be decoded.
  static std::vector<std::int8_t> read(const std::string& path);
};
