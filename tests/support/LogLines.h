#pragma once

#include <cstddef>
#include <ostream>
#include <string>
#include <vector>

namespace velktest {

// One parsed log line: "... LEVEL pid:tid Class.operation |message".
struct LogLine {
  std::string level;      // DEBUG, ERROR or FATAL
  std::string className;  // e.g. VelkCertificateHistoryInfo
  std::string operation;  // e.g. selfCheck()
  std::string message;    // unescaped, exactly as passed to the logger

  bool operator==(const LogLine&) const = default;
};

std::ostream& operator<<(std::ostream& out, const LogLine& line);

// Shorthands for expected lines.
LogLine debugLine(std::string className, std::string operation, std::string message);
LogLine errorLine(std::string className, std::string operation, std::string message);
LogLine fatalLine(std::string className, std::string operation, std::string message);

// Reads a log file as it grows: each call to newLines() parses the lines
// written since the previous call (or since construction). A line that does
// not have the log format fails the current test.
class LogLines {
 public:
  explicit LogLines(std::string path);

  std::vector<LogLine> newLines();

 private:
  std::string path_;
  std::size_t offset_ = 0;
};

}  // namespace velktest
