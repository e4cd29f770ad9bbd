// velk-make-cert: writes one freshly made, signed certificate to a file, for
// demos and manual tests.
//
//   velk-make-cert --serial [-]HEX --not-after WHEN [--key-usage LIST]
//                  [--extended-key-usage LIST] [--ca] [--pem] --out FILE
//
// WHEN is YYYY-MM-DD (noon, local time, of that day) or +DAYS / -DAYS (noon,
// local time, that many days from today). The notAfter is encoded as RFC 5280
// prescribes. LIST is in OpenSSL's configuration syntax, for example
// "digitalSignature,nonRepudiation" or "clientAuth".

#include <CLI/CLI.hpp>

#include <cstdio>
#include <exception>
#include <fstream>
#include <iostream>
#include <stdexcept>
#include <string>

#include "CertificateFactory.h"

namespace {

using velktest::CertificateFactory;

// "[-]HEX" as a magnitude and a sign.
std::vector<std::uint8_t> parseSerial(std::string text, bool& negative) {
  negative = text.starts_with('-');
  text.erase(0, negative ? 1 : 0);
  if (text.empty() || text.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) {
    throw std::invalid_argument("bad serial '" + text + "': expected hexadecimal digits");
  }
  text.insert(0, text.size() % 2, '0');
  std::vector<std::uint8_t> bytes;
  for (std::size_t i = 0; i < text.size(); i += 2) {
    bytes.push_back(static_cast<std::uint8_t>(std::stoul(text.substr(i, 2), nullptr, 16)));
  }
  return bytes;
}

std::chrono::sys_seconds parseNotAfter(const std::string& text) {
  int year = 0;
  unsigned month = 0;
  unsigned day = 0;
  int days = 0;
  int end = 0;
  if (std::sscanf(text.c_str(), "%d%n", &days, &end) == 1 && end == static_cast<int>(text.size()) &&
      (text[0] == '+' || text[0] == '-')) {
    return CertificateFactory::daysFromToday(days);
  }
  if (std::sscanf(text.c_str(), "%4d-%2u-%2u%n", &year, &month, &day, &end) == 3 &&
      end == static_cast<int>(text.size())) {
    return CertificateFactory::localNoon(std::chrono::year_month_day{
        std::chrono::year{year}, std::chrono::month{month}, std::chrono::day{day}});
  }
  throw std::invalid_argument("bad date '" + text + "': expected YYYY-MM-DD, +DAYS or -DAYS");
}

}  // namespace

int main(int argc, char** argv) {
  try {
    CLI::App app{"Writes one freshly made, signed certificate to a file.", "velk-make-cert"};
    std::string serial;
    std::string notAfter;
    std::string out;
    bool pem = false;
    velktest::CertificateOptions options;
    app.add_option("--serial", serial, "[-]HEX")->required();
    app.add_option("--not-after", notAfter, "YYYY-MM-DD, +DAYS or -DAYS")->required();
    app.add_option("--key-usage", options.keyUsage, "the keyUsage extension's bits");
    app.add_option("--extended-key-usage", options.extendedKeyUsage,
                   "the extendedKeyUsage extension's purposes");
    app.add_flag("--ca", options.authority, "a CA certificate (basicConstraints CA:TRUE)");
    app.add_flag("--pem", pem, "PEM rather than DER");
    app.add_option("--out", out, "the file to write")->required();
    CLI11_PARSE(app, argc, argv);
    options.serial = parseSerial(serial, options.negativeSerial);
    options.notAfter = parseNotAfter(notAfter);
    const velktest::MadeCertificate certificate = CertificateFactory::make(options);
    std::ofstream file(out, std::ios::binary | std::ios::trunc);
    file << (pem ? certificate.pem : std::string(certificate.der.begin(), certificate.der.end()));
    file.close();
    if (!file) {
      throw std::runtime_error("cannot write '" + out + "'");
    }
    return 0;
  } catch (const std::exception& error) {
    std::cerr << "velk-make-cert: " << error.what() << '\n';
  } catch (...) {
    std::cerr << "velk-make-cert: unexpected failure\n";
  }
  return 2;
}
