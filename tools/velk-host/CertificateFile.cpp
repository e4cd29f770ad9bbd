#include "CertificateFile.h"

#include <openssl/bio.h>
#include <openssl/err.h>
#include <openssl/pem.h>

#include <fcntl.h>
#include <sys/stat.h>

#include <array>
#include <cerrno>
#include <climits>
#include <memory>
#include <stdexcept>
#include <system_error>

#include "VelkCommon/FileDescriptor.h"

namespace {

std::runtime_error failure(const std::string& path, const std::string& reason) {
  return std::runtime_error("cannot read '" + path + "': " + reason);
}

// The whole file; refused unread when it is a regular file larger than
// kLargestFile, or once more than that was read (from /dev/zero, say).
std::string readAll(const std::string& path) {
  const FileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY));
  const auto tooLarge = [&] {
    return failure(path, "larger than " + std::to_string(CertificateFile::kLargestFile) +
                             " bytes, which no certificate is");
  };
  struct stat info = {};
  if (file.valid() && ::fstat(file.get(), &info) == 0 && S_ISREG(info.st_mode) &&
      static_cast<std::size_t>(info.st_size) > CertificateFile::kLargestFile) {
    throw tooLarge();
  }
  std::string bytes;
  std::array<char, 65536> buffer{};
  for (ssize_t got = 1; got != 0;) {
    // A directory opens but fails its first read, with EISDIR.
    got = file.valid() ? ::read(file.get(), buffer.data(), buffer.size()) : -1;
    if (got < 0 && errno != EINTR) {
      throw failure(path, std::generic_category().message(errno));
    }
    bytes.append(buffer.data(), static_cast<std::size_t>(std::max<ssize_t>(got, 0)));
    if (bytes.size() > CertificateFile::kLargestFile) {
      throw tooLarge();
    }
  }
  return bytes;
}

std::string decodePem(const std::string& path, const std::string& text) {
  const std::unique_ptr<BIO, decltype(&BIO_free)> bio(
      BIO_new_mem_buf(text.data(), static_cast<int>(std::min<std::size_t>(text.size(), INT_MAX))),
      &BIO_free);
  unsigned char* data = nullptr;
  long length = 0;
  char* name = nullptr;
  const int read =
      bio ? PEM_bytes_read_bio(&data, &length, &name, PEM_STRING_X509, bio.get(), nullptr, nullptr)
          : 0;
  std::string decoded =
      data != nullptr && length > 0
          ? std::string(reinterpret_cast<const char*>(data), static_cast<std::size_t>(length))
          : std::string();
  OPENSSL_free(data);
  OPENSSL_free(name);
  ERR_clear_error();
  if (read != 1 || decoded.empty()) {
    throw failure(path, "its CERTIFICATE block is not valid PEM");
  }
  return decoded;
}

}  // namespace

std::vector<std::int8_t> CertificateFile::read(const std::string& path) {
  std::string bytes = readAll(path);
  if (bytes.find("-----BEGIN CERTIFICATE-----") != std::string::npos) {
    bytes = decodePem(path, bytes);
  }
  if (bytes.empty()) {
    throw failure(path, "the file is empty");
  }
  return {bytes.begin(), bytes.end()};
}
