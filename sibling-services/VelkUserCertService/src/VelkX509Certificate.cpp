#include "VelkUserCertService/VelkX509Certificate.h"

#include <openssl/asn1.h>
#include <openssl/asn1t.h>
#include <openssl/err.h>
#include <openssl/x509.h>

#include <chrono>
#include <climits>
#include <ctime>
#include <exception>
#include <memory>
#include <string>

#include "VelkCommon/VelkException.h"

namespace {

constexpr const char* kLocation = "VelkX509Certificate(der:)";

// The certificate's ASN.1 structure (RFC 5280 section 4.1) as OpenSSL's X509
// decodes it, element for element, except that the subject public key stays
// an algorithm identifier and a bit string: d2i_X509 also turns the key into
// an EVP_PKEY through the provider decoders, which costs far more than the
// rest of the decoding and is of no use here (and whose failure d2i_X509
// ignores anyway). Likewise the issuer and subject names stay sequences of
// undecoded elements: decoding an X509_NAME also builds its canonical form
// (each attribute's object looked up, its text converted to UTF-8 and case
// folded), which costs as much as all the rest, for names never used here.
struct SubjectPublicKeyInfo {
  X509_ALGOR* algorithm;
  ASN1_BIT_STRING* subjectPublicKey;
};

struct TbsCertificate {
  ASN1_INTEGER* version;
  ASN1_INTEGER* serialNumber;
  X509_ALGOR* signature;
  ASN1_SEQUENCE_ANY* issuer;
  X509_VAL* validity;
  ASN1_SEQUENCE_ANY* subject;
  SubjectPublicKeyInfo* subjectPublicKeyInfo;
  ASN1_BIT_STRING* issuerUniqueID;
  ASN1_BIT_STRING* subjectUniqueID;
  STACK_OF(X509_EXTENSION) * extensions;
};

struct Certificate {
  TbsCertificate* tbsCertificate;
  X509_ALGOR* signatureAlgorithm;
  ASN1_BIT_STRING* signatureValue;
};

// The item templates. Each macro pair ends in a function body; the last
// semicolon only tells the formatter where they end.
// clang-format off
ASN1_SEQUENCE(SubjectPublicKeyInfo) = {
    ASN1_SIMPLE(SubjectPublicKeyInfo, algorithm, X509_ALGOR),
    ASN1_SIMPLE(SubjectPublicKeyInfo, subjectPublicKey, ASN1_BIT_STRING),
} ASN1_SEQUENCE_END(SubjectPublicKeyInfo)

ASN1_SEQUENCE(TbsCertificate) = {
    ASN1_EXP_OPT(TbsCertificate, version, ASN1_INTEGER, 0),
    ASN1_SIMPLE(TbsCertificate, serialNumber, ASN1_INTEGER),
    ASN1_SIMPLE(TbsCertificate, signature, X509_ALGOR),
    ASN1_SIMPLE(TbsCertificate, issuer, ASN1_SEQUENCE_ANY),
    ASN1_SIMPLE(TbsCertificate, validity, X509_VAL),
    ASN1_SIMPLE(TbsCertificate, subject, ASN1_SEQUENCE_ANY),
    ASN1_SIMPLE(TbsCertificate, subjectPublicKeyInfo, SubjectPublicKeyInfo),
    ASN1_IMP_OPT(TbsCertificate, issuerUniqueID, ASN1_BIT_STRING, 1),
    ASN1_IMP_OPT(TbsCertificate, subjectUniqueID, ASN1_BIT_STRING, 2),
    ASN1_EXP_SEQUENCE_OF_OPT(TbsCertificate, extensions, X509_EXTENSION, 3),
} ASN1_SEQUENCE_END(TbsCertificate)

ASN1_SEQUENCE(Certificate) = {
    ASN1_SIMPLE(Certificate, tbsCertificate, TbsCertificate),
    ASN1_SIMPLE(Certificate, signatureAlgorithm, X509_ALGOR),
    ASN1_SIMPLE(Certificate, signatureValue, ASN1_BIT_STRING),
} ASN1_SEQUENCE_END(Certificate);
// clang-format on

struct CertificateFree {
  void operator()(Certificate* certificate) const {
    ASN1_item_free(reinterpret_cast<ASN1_VALUE*>(certificate), ASN1_ITEM_rptr(Certificate));
  }
};
struct OpenSslFree {
  void operator()(unsigned char* bytes) const { OPENSSL_free(bytes); }
};

// The reason of the oldest error on this thread's OpenSSL error queue, which
// is emptied so that no stale error outlives the call.
std::string takeOpenSslError() {
  const unsigned long code = ERR_peek_error();
  const char* reason = code != 0 ? ERR_reason_error_string(code) : nullptr;
  ERR_clear_error();
  return reason != nullptr ? reason : "malformed encoding";
}

// The instant `time` denotes, to the second, or none when the text is not a
// valid time or the instant lies outside what foundation::Date can hold.
// Calendar arithmetic on std::chrono keeps years before 1970 and after 2038
// exact; no time_t is involved.
std::optional<foundation::Date> toDate(const ASN1_TIME* time) {
  using namespace std::chrono;
  if (time == nullptr) {
    return std::nullopt;
  }
  std::tm fields{};
  // Reads UTCTime (two-digit years 50..99 as 19xx, 00..49 as 20xx) and
  // GeneralizedTime, and applies a "+hhmm"/"-hhmm" offset if present.
  if (ASN1_TIME_to_tm(time, &fields) != 1) {
    ERR_clear_error();
    return std::nullopt;
  }
  const year_month_day date{year{fields.tm_year + 1900}, month{unsigned(fields.tm_mon + 1)},
                            day{unsigned(fields.tm_mday)}};
  if (!date.ok() || fields.tm_hour < 0 || fields.tm_hour > 23 || fields.tm_min < 0 ||
      fields.tm_min > 59 || fields.tm_sec < 0 || fields.tm_sec > 60) {
    return std::nullopt;
  }
  const sys_seconds instant =
      sys_days{date} + hours{fields.tm_hour} + minutes{fields.tm_min} + seconds{fields.tm_sec};
  // Date counts in a finer unit than seconds and so spans fewer years;
  // compare in seconds, where nothing overflows.
  if (instant < ceil<seconds>(foundation::Date::min()) ||
      instant > floor<seconds>(foundation::Date::max())) {
    return std::nullopt;
  }
  return time_point_cast<foundation::Date::duration>(instant);
}

// The content octets of `serial` as DER encodes them. OpenSSL refuses
// INTEGERs with redundant leading octets when decoding, so the encoding made
// here is the one the certificate holds.
std::optional<std::vector<std::int8_t>> contentOctets(const ASN1_INTEGER* serial) {
  if (serial == nullptr) {
    return std::nullopt;
  }
  unsigned char* encoded = nullptr;
  const int length = i2d_ASN1_INTEGER(serial, &encoded);
  const std::unique_ptr<unsigned char, OpenSslFree> owner(encoded);
  if (length <= 0 || encoded == nullptr) {
    ERR_clear_error();
    return std::nullopt;
  }
  const unsigned char* content = encoded;
  long contentLength = 0;
  int tag = 0;
  int tagClass = 0;
  const int info = ASN1_get_object(&content, &contentLength, &tag, &tagClass, length);
  if ((info & 0x80) != 0 || tag != V_ASN1_INTEGER || contentLength <= 0) {
    ERR_clear_error();
    return std::nullopt;
  }
  std::vector<std::int8_t> octets;
  octets.reserve(static_cast<std::size_t>(contentLength));
  for (long i = 0; i < contentLength; ++i) {
    octets.push_back(static_cast<std::int8_t>(content[i]));
  }
  return octets;
}

}  // namespace

VelkX509Certificate::VelkX509Certificate(const std::optional<std::vector<std::int8_t>>& der) {
  if (!der.has_value()) {
    throw VelkException("no certificate data", kLocation);
  }
  if (der->empty()) {
    throw VelkException("empty certificate data", kLocation);
  }
  try {
    // The decoder reads one certificate and stops after its outer SEQUENCE,
    // so padding behind it is left alone.
    const auto* next = reinterpret_cast<const unsigned char*>(der->data());
    const long length = der->size() > static_cast<std::size_t>(LONG_MAX)
                            ? LONG_MAX
                            : static_cast<long>(der->size());
    const std::unique_ptr<Certificate, CertificateFree> certificate(reinterpret_cast<Certificate*>(
        ASN1_item_d2i(nullptr, &next, length, ASN1_ITEM_rptr(Certificate))));
    if (!certificate) {
      throw VelkException("cannot decode the certificate: " + takeOpenSslError(), kLocation);
    }
    const TbsCertificate& tbs = *certificate->tbsCertificate;
    notAfter_ = toDate(tbs.validity->notAfter);
    serialNumber_ = contentOctets(tbs.serialNumber);
    ERR_clear_error();
  } catch (const VelkException&) {
    throw;
  } catch (const std::exception& error) {
    ERR_clear_error();
    throw VelkException(std::string("cannot decode the certificate: ") + error.what(), kLocation);
  } catch (...) {
    ERR_clear_error();
    throw VelkException("cannot decode the certificate: unknown error", kLocation);
  }
}

VelkX509Certificate::~VelkX509Certificate() = default;

std::optional<foundation::Date> VelkX509Certificate::getNotAfter() const { return notAfter_; }

std::optional<std::vector<std::int8_t>> VelkX509Certificate::getSerialNumber() const {
  return serialNumber_;
}
