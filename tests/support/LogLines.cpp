#include "support/LogLines.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <regex>
#include <string_view>
#include <utility>

namespace velktest {

namespace {

// Undoes the logger's escaping of backslash, line feed, carriage return, tab
// and, as \xNN, bytes that are not UTF-8.
bool unescape(const std::string& text, std::string& out) {
  static constexpr std::string_view kNames = "\\nrt";
  static constexpr std::string_view kEscaped = "\\\n\r\t";
  static constexpr std::string_view kDigits = "0123456789ABCDEF";
  out.clear();
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\') {
      out += text[i];
      continue;
    }
    if (++i == text.size()) {
      return false;
    }
    if (const std::size_t at = kNames.find(text[i]); at != std::string_view::npos) {
      out += kEscaped[at];
      continue;
    }
    const std::size_t high =
        i + 2 < text.size() ? kDigits.find(text[i + 1]) : std::string_view::npos;
    const std::size_t low =
        i + 2 < text.size() ? kDigits.find(text[i + 2]) : std::string_view::npos;
    if (text[i] != 'x' || high == std::string_view::npos || low == std::string_view::npos) {
      return false;
    }
    out += static_cast<char>(high * 16 + low);
    i += 2;
  }
  return true;
}

// Parses one line (without its line feed); false when it is not well formed.
bool parseLogLine(const std::string& text, LogLine& line) {
  // Class names are identifiers, so the first '.' after the pid:tid field
  // ends the class and the first " |" after it ends the operation.
  static const std::regex kHead(
      R"(^\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2}\.\d{3} (DEBUG|ERROR|FATAL) \d+:\d+ ([A-Za-z_][A-Za-z0-9_]*)\.)");
  std::smatch match;
  if (!std::regex_search(text, match, kHead)) {
    return false;
  }
  const auto rest = static_cast<std::size_t>(match.length(0));
  const std::size_t bar = text.find(" |", rest);
  if (bar == std::string::npos) {
    return false;
  }
  line.level = match[1];
  line.className = match[2];
  line.operation = text.substr(rest, bar - rest);
  return unescape(text.substr(bar + 2), line.message);
}

}  // namespace

std::ostream& operator<<(std::ostream& out, const LogLine& line) {
  return out << line.level << ' ' << line.className << '.' << line.operation << " |" << line.message
             << '|';
}

LogLine debugLine(std::string className, std::string operation, std::string message) {
  return {"DEBUG", std::move(className), std::move(operation), std::move(message)};
}

LogLine errorLine(std::string className, std::string operation, std::string message) {
  return {"ERROR", std::move(className), std::move(operation), std::move(message)};
}

LogLine fatalLine(std::string className, std::string operation, std::string message) {
  return {"FATAL", std::move(className), std::move(operation), std::move(message)};
}

LogLines::LogLines(std::string path) : path_(std::move(path)) {}

std::vector<LogLine> LogLines::newLines() {
  std::vector<LogLine> lines;
  std::ifstream in(path_, std::ios::binary);
  if (!in) {
    return lines;
  }
  const std::string all{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  while (offset_ < all.size()) {
    const std::size_t end = all.find('\n', offset_);
    if (end == std::string::npos) {
      ADD_FAILURE() << "log line without line feed: " << all.substr(offset_);
      offset_ = all.size();
      break;
    }
    const std::string text = all.substr(offset_, end - offset_);
    offset_ = end + 1;
    LogLine line;
    if (!parseLogLine(text, line)) {
      ADD_FAILURE() << "malformed log line: " << text;
      continue;
    }
    lines.push_back(std::move(line));
  }
  return lines;
}

}  // namespace velktest
