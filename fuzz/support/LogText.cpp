#include "support/LogText.h"

namespace velkfuzz {

std::optional<std::string_view> escapedMessageOf(std::string_view line) {
  const std::size_t bar = line.find(" |");
  if (bar == std::string_view::npos) {
    return std::nullopt;
  }
  return line.substr(bar + 2);
}

std::optional<std::string> unescapeLogMessage(std::string_view escaped) {
  std::string message;
  message.reserve(escaped.size());
  for (std::size_t i = 0; i < escaped.size(); ++i) {
    if (escaped[i] != '\\') {
      message += escaped[i];
      continue;
    }
    if (++i == escaped.size()) {
      return std::nullopt;
    }
    switch (escaped[i]) {
      case '\\':
        message += '\\';
        break;
      case 'n':
        message += '\n';
        break;
      case 'r':
        message += '\r';
        break;
      case 't':
        message += '\t';
        break;
      case 'x': {
        // A byte that is not UTF-8: two upper-case hex digits.
        static constexpr std::string_view kDigits = "0123456789ABCDEF";
        const std::size_t high =
            i + 1 < escaped.size() ? kDigits.find(escaped[i + 1]) : std::string_view::npos;
        const std::size_t low =
            i + 2 < escaped.size() ? kDigits.find(escaped[i + 2]) : std::string_view::npos;
        if (high == std::string_view::npos || low == std::string_view::npos) {
          return std::nullopt;
        }
        message += static_cast<char>(high * 16 + low);
        i += 2;
        break;
      }
      default:
        return std::nullopt;
    }
  }
  return message;
}

}  // namespace velkfuzz
