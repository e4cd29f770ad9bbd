#pragma once

#include <string>
#include <vector>

namespace velktest {

// The lines of a log file as a golden file holds them,
// "LEVEL Class.operation |message": without the time stamp and pid:tid, and
// with every occurrence of `home` written as "<home>".
std::vector<std::string> goldenLines(const std::string& logFile, const std::string& home);

// Compares `lines` with tests/golden/<name>.log, whose leading lines that
// start with '#' are its note, and fails the current test at the first line
// that differs. With VELK_GOLDEN_UPDATE=1 in the environment the lines below
// the note are rewritten instead, for a person to check before committing.
void expectGolden(const std::string& name, const std::vector<std::string>& lines);

}  // namespace velktest
