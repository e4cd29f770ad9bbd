#include "CertificateFile.h"

#include <openssl/bio.h>
#include <openssl/err.h>
#include <openssl/pem.h>

#include <array>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <memory>
#include <stdexcept>
#include <system_error>

namespace {

struct BioFree {
  void operator()(BIO* bio) const { BIO_free(bio); }
};
struct FileClose {
  // NOLINTNEXTLINE(cppcoreguidelines-owning-memory): the unique_ptr owns it
  void operator()(std::FILE* file) const { std::fclose(file); }
};
struct OpenSslFree {
  void operator()(void* data) const { OPENSSL_free(data); }
};

std::runtime_error failure(const std::string& path, const std::string& reason) {
  return std::runtime_error("cannot read '" + path + "': " + reason);
}

// The text of the current errno, as the platform words it.
std::string errnoText() { return std::generic_category().message(errno); }

std::string readAll(const std::string& path) {
  const std::unique_ptr<std::FILE, FileClose> file(std::fopen(path.c_str(), "rbe"));
  if (!file) {
    throw failure(path, errnoText());
  }
  std::string bytes;
  std::array<char, 65536> buffer{};
  for (;;) {
    const std::size_t got = std::fread(buffer.data(), 1, buffer.size(), file.get());
    bytes.append(buffer.data(), got);
    if (got < buffer.size()) {
      // A directory opens but fails its first read, with EISDIR.
      if (std::ferror(file.get()) != 0) {
        throw failure(path, errnoText());
      }
      return bytes;
    }
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
