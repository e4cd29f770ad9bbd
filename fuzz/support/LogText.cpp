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
      default:
        return std::nullopt;
    }
  }
  return message;
}

}  // namespace velkfuzz
