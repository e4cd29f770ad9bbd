#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace velkfuzz {

// The fuzzers' own reading of a log line, written apart from the logger and
// from the test suites' parser so that neither can hide a fault of the other.
//
// A line is "yyyy-MM-dd HH:mm:ss.SSS LEVEL pid:tid Class.operation |message"
// without its line feed; in the message backslash, line feed, carriage return
// and tab stand as \\, \n, \r and \t.

// The message part of `line` as written (still escaped): what follows the
// first " |". None when the line has no " |".
std::optional<std::string_view> escapedMessageOf(std::string_view line);

// `escaped` with its escapes undone. None when it holds a backslash that
// starts no escape (one at the end, or before another character).
std::optional<std::string> unescapeLogMessage(std::string_view escaped);

}  // namespace velkfuzz
