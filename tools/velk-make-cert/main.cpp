// velk-make-cert: writes one freshly made, signed certificate to a file, for
// demos and manual tests.
//
//   velk-make-cert --serial [-]HEX --not-after WHEN [--time utc|generalized] [--pem] --out FILE
//
// WHEN is YYYY-MM-DD (noon, local time, of that day), YYYY-MM-DDTHH:MM:SSZ
// (UTC), or +DAYS / -DAYS (noon, local time, that many days from today).
// The notAfter is encoded as RFC 5280 prescribes unless --time says otherwise.

#include <cerrno>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <exception>
#include <fstream>
#include <iostream>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "CertificateFactory.h"

namespace {

using velktest::CertificateFactory;

constexpr const char* kUsage =
    "usage: velk-make-cert --serial [-]HEX --not-after "
    "YYYY-MM-DD|YYYY-MM-DDTHH:MM:SSZ|+DAYS|-DAYS\n"
    "                      [--time utc|generalized] [--pem] --out FILE\n";

int toInt(std::string_view text, const char* what) {
  int value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error != std::errc() || end != text.data() + text.size()) {
    throw std::invalid_argument(std::string("bad ") + what + " '" + std::string(text) + "'");
  }
  return value;
}

// "[-]HEX" as a magnitude and a sign.
std::vector<std::uint8_t> parseSerial(std::string text, bool& negative) {
  negative = !text.empty() && text.front() == '-';
  if (negative) {
    text.erase(0, 1);
  }
  if (text.empty() || text.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) {
    throw std::invalid_argument("bad serial '" + text + "': expected hexadecimal digits");
  }
  if (text.size() % 2 != 0) {
    text.insert(0, "0");
  }
  std::vector<std::uint8_t> bytes;
  for (std::size_t i = 0; i < text.size(); i += 2) {
    bytes.push_back(static_cast<std::uint8_t>(std::stoul(text.substr(i, 2), nullptr, 16)));
  }
  return bytes;
}

std::chrono::sys_seconds parseNotAfter(const std::string& text) {
  if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
    const int days = toInt(std::string_view(text).substr(1), "day count");
    return CertificateFactory::daysFromToday(text.front() == '-' ? -days : days);
  }
  // YYYY-MM-DD, optionally followed by THH:MM:SSZ.
  const bool withTime = text.size() == 20;
  if ((text.size() != 10 && !withTime) || text[4] != '-' || text[7] != '-' ||
      (withTime && (text[10] != 'T' || text[13] != ':' || text[16] != ':' || text[19] != 'Z'))) {
    throw std::invalid_argument("bad date '" + text +
                                "': expected YYYY-MM-DD, YYYY-MM-DDTHH:MM:SSZ, +DAYS or -DAYS");
  }
  const std::string_view view(text);
  const int year = toInt(view.substr(0, 4), "year");
  const auto month = static_cast<unsigned>(toInt(view.substr(5, 2), "month"));
  const auto day = static_cast<unsigned>(toInt(view.substr(8, 2), "day"));
  if (!withTime) {
    return CertificateFactory::localNoon(std::chrono::year_month_day{
        std::chrono::year{year}, std::chrono::month{month}, std::chrono::day{day}});
  }
  return CertificateFactory::utc(year, month, day, toInt(view.substr(11, 2), "hour"),
                                 toInt(view.substr(14, 2), "minute"),
                                 toInt(view.substr(17, 2), "second"));
}

int run(int argc, char** argv) {
  velktest::CertificateOptions options;
  std::optional<std::string> serial;
  std::optional<std::string> notAfter;
  std::optional<std::string> out;
  bool pem = false;
  for (int i = 1; i < argc; ++i) {
    const std::string_view argument = argv[i];
    const auto value = [&]() -> std::string {
      if (i + 1 >= argc) {
        throw std::invalid_argument(std::string(argument) + " needs a value");
      }
      return argv[++i];
    };
    if (argument == "--help" || argument == "-h") {
      std::cout << kUsage;
      return 0;
    }
    if (argument == "--serial") {
      serial = value();
    } else if (argument == "--not-after") {
      notAfter = value();
    } else if (argument == "--out") {
      out = value();
    } else if (argument == "--pem") {
      pem = true;
    } else if (argument == "--time") {
      const std::string encoding = value();
      if (encoding == "utc") {
        options.notAfterEncoding = velktest::TimeEncoding::kUtcTime;
      } else if (encoding == "generalized") {
        options.notAfterEncoding = velktest::TimeEncoding::kGeneralizedTime;
      } else {
        throw std::invalid_argument("bad --time '" + encoding + "': expected utc or generalized");
      }
    } else {
      throw std::invalid_argument("unknown argument '" + std::string(argument) + "'");
    }
  }
  if (!serial || !notAfter || !out) {
    throw std::invalid_argument("--serial, --not-after and --out are required");
  }
  options.serial = parseSerial(*serial, options.negativeSerial);
  options.notAfter = parseNotAfter(*notAfter);
  const velktest::MadeCertificate certificate = CertificateFactory::make(options);

  std::ofstream file(*out, std::ios::binary | std::ios::trunc);
  if (pem) {
    file << certificate.pem;
  } else {
    file.write(reinterpret_cast<const char*>(certificate.der.data()),
               static_cast<std::streamsize>(certificate.der.size()));
  }
  file.close();
  if (!file) {
    throw std::runtime_error("cannot write '" + *out +
                             "': " + std::generic_category().message(errno));
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    return run(argc, argv);
  } catch (const std::exception& error) {
    std::cerr << "velk-make-cert: " << error.what() << " (try --help)\n";
    return 2;
  }
}
