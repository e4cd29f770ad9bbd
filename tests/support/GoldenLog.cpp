#include "support/GoldenLog.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <sstream>
#include <string_view>

#include "support/LogLines.h"
#include "support/TempDir.h"

namespace velktest {

std::vector<std::string> goldenLines(const std::string& logFile, const std::string& home) {
  std::vector<std::string> lines;
  for (const LogLine& line : LogLines(logFile).newLines()) {
    std::string kept =
        line.level + " " + line.className + "." + line.operation + " |" + line.message;
    for (std::size_t at = 0; (at = kept.find(home, at)) != std::string::npos;) {
      kept.replace(at, home.size(), "<home>");
    }
    lines.push_back(std::move(kept));
  }
  return lines;
}

void expectGolden(const std::string& name, const std::vector<std::string>& lines) {
  const std::string path = std::string(VELK_GOLDEN_DIR) + "/" + name + ".log";
  std::istringstream file(readFileBytes(path));
  std::string note;
  std::vector<std::string> expected;
  for (std::string line; std::getline(file, line);) {
    if (expected.empty() && line.starts_with("#")) {
      note += line + "\n";
    } else {
      expected.push_back(line);
    }
  }
  const char* update = std::getenv("VELK_GOLDEN_UPDATE");  // NOLINT(concurrency-mt-unsafe)
  if (update != nullptr && std::string_view(update) == "1") {
    std::string text = note;
    for (const std::string& line : lines) {
      text += line + "\n";
    }
    writeFileBytes(path, text);
    return;
  }
  for (std::size_t i = 0; i < std::max(lines.size(), expected.size()); ++i) {
    const std::string got = i < lines.size() ? lines[i] : "(no more lines)";
    const std::string want = i < expected.size() ? expected[i] : "(no more lines)";
    if (got != want) {
      ADD_FAILURE() << name << ".log, log line " << i + 1 << ":\n  expected: " << want
                    << "\n  logged:   " << got;
      return;
    }
  }
}

}  // namespace velktest
