#pragma once

#include <cstdint>
#include <string>
#include <vector>

// A certificate object as a token holds it.
struct TokenCertificate {
  std::string token;  // the token's label
  std::string label;  // the object's label
  std::vector<std::int8_t> der;
};

// Reads the X.509 certificates of the tokens (smart cards, in the end) of
// PKCS#11 modules, through p11-kit.
class TokenScanner {
 public:
  TokenScanner() = delete;

  // Every X.509 certificate object (CKO_CERTIFICATE, CKC_X_509) on the
  // present, initialized tokens: of the module at `module`, or of every
  // module p11-kit registers except its trust-policy modules (the system's
  // trust store, not a card) when `module` is empty; only of tokens labelled
  // `token` unless it is empty. With `login`, each token is logged in to
  // first with a PIN read from the terminal without echo, or one line of
  // standard input when that is not a terminal; the PIN is tried once and
  // forgotten. A certificate two modules both show is returned once. When
  // the read is cut short (the card removed, an error reading an object)
  // after some certificates were read whole, those are returned and
  // `unfinished` says why not all was read. Throws std::runtime_error with a
  // one-line message when no module loads, no token is present, the card is
  // one no module recognises, a login fails, the read fails before any
  // certificate was read or the tokens hold no certificate.
  static std::vector<TokenCertificate> scan(const std::string& module, const std::string& token,
                                            bool login, std::string& unfinished);
};
