#include "CertificateFile.h"

#include <openssl/bio.h>
#include <openssl/err.h>
#include <openssl/pem.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <system_error>

#include "VelkCommon/FileDescriptor.h"

namespace {

struct BioFree {
  void operator()(BIO* bio) const { BIO_free(bio); }
};
struct OpenSslFree {
  void operator()(void* data) const { OPENSSL_free(data); }
};

std::runtime_error failure(const std::string& path, const std::string& reason) {
  return std::runtime_error("cannot read '" + path + "': " + reason);
}

// The text of the current errno, as the platform words it.
std::string errnoText() { return std::generic_category().message(errno); }

// The whole file, refused unread when it is larger than kLargestFile (or,
// for what is no regular file, such as /dev/zero, once more was read).
std::string readAll(const std::string& path) {
  const FileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY));
  if (!file.valid()) {
    throw failure(path, errnoText());
  }
  const auto tooLarge = [&] {
    return failure(path, "larger than " + std::to_string(CertificateFile::kLargestFile) +
                             " bytes, which no certificate is");
  };
  struct stat info {};
  if (::fstat(file.get(), &info) == 0 && S_ISREG(info.st_mode) &&
      static_cast<std::uintmax_t>(info.st_size) > CertificateFile::kLargestFile) {
    throw tooLarge();
  }
  std::string bytes;
  std::array<char, 65536> buffer{};
  for (;;) {
    const ssize_t got = ::read(file.get(), buffer.data(), buffer.size());
    if (got < 0 && errno == EINTR) {
      continue;
    }
    // A directory opens but fails its first read, with EISDIR.
    if (got < 0) {
      throw failure(path, errnoText());
    }
    if (got == 0) {
      return bytes;
    }
    if (bytes.size() + static_cast<std::size_t>(got) > CertificateFile::kLargestFile) {
      throw tooLarge();
    }
    bytes.append(buffer.data(), static_cast<std::size_t>(got));
  }
}

std::string decodePem(const std::string& path, const std::string& text) {
  if (text.size() > static_cast<std::size_t>(INT_MAX)) {
    throw failure(path, "too large for a PEM file");
  }
  const std::unique_ptr<BIO, BioFree> bio(
      BIO_new_mem_buf(text.data(), static_cast<int>(text.size())));
  unsigned char* data = nullptr;
  long length = 0;
  char* name = nullptr;
  const int read =
      bio ? PEM_bytes_read_bio(&data, &length, &name, PEM_STRING_X509, bio.get(), nullptr, nullptr)
          : 0;
  const std::unique_ptr<unsigned char, OpenSslFree> ownedData(data);
  const std::unique_ptr<char, OpenSslFree> ownedName(name);
  ERR_clear_error();
  if (read != 1 || data == nullptr || length <= 0) {
    throw failure(path, "its CERTIFICATE block is not valid PEM");
  }
  return {reinterpret_cast<const char*>(data), static_cast<std::size_t>(length)};
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
