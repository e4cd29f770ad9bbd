#include "CertificateFactory.h"

#include <openssl/asn1.h>
#include <openssl/bio.h>
#include <openssl/bn.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <array>
#include <cstdio>
#include <ctime>
#include <memory>
#include <stdexcept>
#include <utility>

#include "foundation/Clock.h"

namespace velktest {
namespace {

using namespace std::chrono;

template <typename T, void (*Free)(T*)>
struct Freer {
  void operator()(T* pointer) const { Free(pointer); }
};
using KeyPtr = std::unique_ptr<EVP_PKEY, Freer<EVP_PKEY, EVP_PKEY_free>>;
using X509Ptr = std::unique_ptr<X509, Freer<X509, X509_free>>;
using TimePtr = std::unique_ptr<ASN1_TIME, Freer<ASN1_TIME, ASN1_TIME_free>>;
using IntegerPtr = std::unique_ptr<ASN1_INTEGER, Freer<ASN1_INTEGER, ASN1_INTEGER_free>>;
using BignumPtr = std::unique_ptr<BIGNUM, Freer<BIGNUM, BN_free>>;
using BioPtr = std::unique_ptr<BIO, Freer<BIO, BIO_free_all>>;
struct OpenSslFree {
  void operator()(unsigned char* bytes) const { OPENSSL_free(bytes); }
};

void require(bool ok, const char* step) {
  if (!ok) {
    ERR_clear_error();
    throw std::runtime_error(std::string("certificate factory: ") + step + " failed");
  }
}

// The process's signing key, made once (generating a key per certificate
// would dominate the tests' run time).
EVP_PKEY* signingKey() {
  static const KeyPtr key = [] {
    KeyPtr made(EVP_EC_gen("P-256"));
    require(made != nullptr, "P-256 key generation");
    return made;
  }();
  return key.get();
}

// `instant` as an ASN.1 time of the asked encoding.
TimePtr encodeTime(sys_seconds instant, TimeEncoding encoding) {
  const sys_days date = floor<days>(instant);
  const year_month_day ymd{date};
  const hh_mm_ss<seconds> time{instant - date};
  const int year = static_cast<int>(ymd.year());
  const bool utcTime = encoding == TimeEncoding::kUtcTime ||
                       (encoding == TimeEncoding::kRfc5280 && year >= 1950 && year <= 2049);
  if (year < 0 || year > 9999 || (utcTime && (year < 1950 || year > 2049))) {
    throw std::invalid_argument("certificate factory: year " + std::to_string(year) +
                                " cannot be encoded as " +
                                (utcTime ? "UTCTime" : "GeneralizedTime"));
  }
  std::array<char, 32> text{};
  std::snprintf(text.data(), text.size(),
                utcTime ? "%02d%02u%02u%02d%02d%02dZ" : "%04d%02u%02u%02d%02d%02dZ",
                utcTime ? year % 100 : year, static_cast<unsigned>(ymd.month()),
                static_cast<unsigned>(ymd.day()), static_cast<int>(time.hours().count()),
                static_cast<int>(time.minutes().count()), static_cast<int>(time.seconds().count()));
  TimePtr encoded(ASN1_STRING_type_new(utcTime ? V_ASN1_UTCTIME : V_ASN1_GENERALIZEDTIME));
  require(encoded != nullptr && ASN1_STRING_set(encoded.get(), text.data(), -1) == 1,
          "time encoding");
  return encoded;
}

// `text` as the content of an ASN.1 time, unchecked.
TimePtr rawTime(const std::string& text, TimeEncoding encoding) {
  TimePtr encoded(ASN1_STRING_type_new(
      encoding == TimeEncoding::kUtcTime ? V_ASN1_UTCTIME : V_ASN1_GENERALIZEDTIME));
  require(encoded != nullptr &&
              ASN1_STRING_set(encoded.get(), text.data(), static_cast<int>(text.size())) == 1,
          "raw time encoding");
  return encoded;
}

IntegerPtr encodeSerial(const std::vector<std::uint8_t>& magnitude, bool negative) {
  const BignumPtr number(BN_bin2bn(magnitude.data(), static_cast<int>(magnitude.size()), nullptr));
  require(number != nullptr, "serial number conversion");
  BN_set_negative(number.get(), negative ? 1 : 0);
  IntegerPtr serial(BN_to_ASN1_INTEGER(number.get(), nullptr));
  require(serial != nullptr, "serial number encoding");
  return serial;
}

using ExtensionPtr = std::unique_ptr<X509_EXTENSION, Freer<X509_EXTENSION, X509_EXTENSION_free>>;

// Adds the extension `nid` with `value` in OpenSSL's configuration syntax.
void addExtension(X509* certificate, int nid, const std::string& value) {
  X509V3_CTX context{};
  X509V3_set_ctx_nodb(&context);
  X509V3_set_ctx(&context, certificate, certificate, nullptr, nullptr, 0);
  const ExtensionPtr extension(X509V3_EXT_nconf_nid(nullptr, &context, nid, value.c_str()));
  require(extension != nullptr && X509_add_ext(certificate, extension.get(), -1) == 1,
          "extension encoding");
}

std::vector<std::int8_t> derOf(X509* certificate) {
  unsigned char* encoded = nullptr;
  const int length = i2d_X509(certificate, &encoded);
  const std::unique_ptr<unsigned char, OpenSslFree> owner(encoded);
  require(length > 0, "DER encoding");
  return {reinterpret_cast<const std::int8_t*>(encoded),
          reinterpret_cast<const std::int8_t*>(encoded) + length};
}

std::string pemOf(X509* certificate) {
  const BioPtr memory(BIO_new(BIO_s_mem()));
  require(memory != nullptr && PEM_write_bio_X509(memory.get(), certificate) == 1, "PEM encoding");
  char* text = nullptr;
  const long length = BIO_get_mem_data(memory.get(), &text);
  return {text, static_cast<std::size_t>(length)};
}

}  // namespace

MadeCertificate CertificateFactory::make(const CertificateOptions& options) {
  EVP_PKEY* key = signingKey();
  const TimePtr notAfter = options.rawNotAfter
                               ? rawTime(*options.rawNotAfter, options.notAfterEncoding)
                               : encodeTime(options.notAfter, options.notAfterEncoding);
  // A year of validity, or less where the calendar's encodable range ends.
  const sys_seconds start = options.notAfter - days{365};
  const TimePtr notBefore = encodeTime(start < sys_days{year{0} / 1 / 1} ? options.notAfter : start,
                                       TimeEncoding::kRfc5280);
  const IntegerPtr serial = encodeSerial(options.serial, options.negativeSerial);

  const X509Ptr certificate(X509_new());
  require(certificate != nullptr, "certificate allocation");
  X509* made = certificate.get();
  X509_NAME* name = X509_get_subject_name(made);
  const auto* commonName = reinterpret_cast<const unsigned char*>("Velk test certificate");
  require(X509_set_version(made, X509_VERSION_3) == 1 &&
              X509_set_serialNumber(made, serial.get()) == 1 &&
              X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC, commonName, -1, -1, 0) == 1 &&
              X509_set_issuer_name(made, name) == 1 &&
              X509_set1_notBefore(made, notBefore.get()) == 1 &&
              X509_set1_notAfter(made, notAfter.get()) == 1 && X509_set_pubkey(made, key) == 1,
          "certificate assembly");
  for (const auto& [nid, value] :
       {std::pair{NID_key_usage, options.keyUsage},
        std::pair{NID_ext_key_usage, options.extendedKeyUsage},
        std::pair{NID_basic_constraints,
                  std::string(options.authority ? "critical,CA:TRUE" : "")}}) {
    if (!value.empty()) {
      addExtension(made, nid, value);
    }
  }
  require(X509_sign(made, key, EVP_sha256()) > 0, "signing");
  return {derOf(made), pemOf(made)};
}

MadeCertificate CertificateFactory::make(std::vector<std::uint8_t> serial, sys_seconds notAfter) {
  CertificateOptions options;
  options.serial = std::move(serial);
  options.notAfter = notAfter;
  return make(options);
}

sys_seconds CertificateFactory::daysFromToday(int count) {
  tzset();  // localtime_r need not notice a changed TZ by itself
  const std::time_t now = system_clock::to_time_t(foundation::now());
  std::tm local{};
  require(localtime_r(&now, &local) != nullptr, "local time conversion");
  const year_month_day today{year{local.tm_year + 1900}, month{unsigned(local.tm_mon + 1)},
                             day{unsigned(local.tm_mday)}};
  return localNoon(year_month_day{sys_days{today} + days{count}});
}

sys_seconds CertificateFactory::localNoon(year_month_day date) {
  if (!date.ok()) {
    throw std::invalid_argument("certificate factory: invalid date");
  }
  std::tm local{};
  local.tm_year = static_cast<int>(date.year()) - 1900;
  local.tm_mon = static_cast<int>(static_cast<unsigned>(date.month())) - 1;
  local.tm_mday = static_cast<int>(static_cast<unsigned>(date.day()));
  local.tm_hour = 12;
  local.tm_isdst = -1;
  // -1 is also 1969-12-31 23:59:59 UTC, but never noon in a real time zone.
  const std::time_t instant = std::mktime(&local);
  require(instant != -1, "local time conversion");
  return sys_seconds{seconds{instant}};
}

sys_seconds CertificateFactory::utc(int year, unsigned month, unsigned day, int hour, int minute,
                                    int second) {
  const year_month_day date{std::chrono::year{year}, std::chrono::month{month},
                            std::chrono::day{day}};
  if (!date.ok() || hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 ||
      second > 59) {
    throw std::invalid_argument("certificate factory: invalid date or time of day");
  }
  return sys_days{date} + hours{hour} + minutes{minute} + seconds{second};
}

}  // namespace velktest
