// Logs arbitrary bytes as the message of a debug line and reads the log file
// back: it must hold exactly one line, in the log's format, with no raw
// carriage return or tab, that is well-formed UTF-8 (as the C library's
// converter judges it) and whose message unescapes to the bytes given. The log
// lies on tmpfs where there is one and is emptied before every run, so each
// run costs one write and one read.

#include <iconv.h>
#include <unistd.h>

#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

#include "VelkCommon/VelkLog.h"
#include "support/FuzzFiles.h"
#include "support/FuzzHome.h"
#include "support/LogText.h"

// The caller named in the fuzzer's log lines.
class LogMessageFuzzer {};

namespace {

constexpr std::string_view kOperation = "escape(message:)";
// Longer messages would carry the file past its rotation size within the
// lines the logger writes between two looks at that size.
constexpr std::size_t kMaxMessageSize = std::size_t{64} * 1024;

[[noreturn]] void fail(const char* what, std::string_view line) {
  std::fprintf(stderr, "log_message_fuzzer: %s\nline: %.*s\n", what, static_cast<int>(line.size()),
               line.data());
  std::abort();
}

// Whether `text` is "yyyy-MM-dd HH:mm:ss.SSS": digits where the pattern has
// letters, the separators as they stand.
bool isTimestamp(std::string_view text) {
  constexpr std::string_view kPattern = "dddd-dd-dd dd:dd:dd.ddd";
  if (text.size() != kPattern.size()) {
    return false;
  }
  for (std::size_t i = 0; i < text.size(); ++i) {
    const bool digit = std::isdigit(static_cast<unsigned char>(text[i])) != 0;
    if (kPattern[i] == 'd' ? !digit : text[i] != kPattern[i]) {
      return false;
    }
  }
  return true;
}

// Whether `text` is well-formed UTF-8, judged by iconv rather than by the
// decoder the logger itself uses.
bool isUtf8(std::string_view text) {
  static iconv_t converter = ::iconv_open("UTF-32LE", "UTF-8");
  std::string in(text);
  std::string out(in.size() * 4 + 4, '\0');
  char* inPointer = in.data();
  char* outPointer = out.data();
  std::size_t inLeft = in.size();
  std::size_t outLeft = out.size();
  ::iconv(converter, nullptr, nullptr, nullptr, nullptr);
  return ::iconv(converter, &inPointer, &inLeft, &outPointer, &outLeft) !=
             static_cast<std::size_t>(-1) &&
         inLeft == 0;
}

const Logger& reminderLog() {
  static const Logger log = VelkLog::getLogger(LogFilePrefix::VELK_UPDATE_REMINDER);
  return log;
}

velkfuzz::FuzzHome* home = nullptr;
std::string head;  // " DEBUG pid:tid LogMessageFuzzer.escape(message:) |"

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* /*argc*/, char*** /*argv*/) {
  static velkfuzz::FuzzHome fuzzHome;
  home = &fuzzHome;
  head = " DEBUG " + std::to_string(::getpid()) + ":" + std::to_string(::gettid()) +
         " LogMessageFuzzer." + std::string(kOperation) + " |";
  // The first line creates the log's folder and file.
  const LogMessageFuzzer caller;
  reminderLog().debug("start", &caller, kOperation);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > kMaxMessageSize) {
    return 0;
  }
  const std::string_view message(reinterpret_cast<const char*>(data), size);
  velkfuzz::truncateFileOrAbort(home->logFile());
  const LogMessageFuzzer caller;
  reminderLog().debug(message, &caller, kOperation);

  const std::string text = velkfuzz::readFileOrAbort(home->logFile());
  if (text.empty() || text.find('\n') != text.size() - 1) {
    fail("the log does not hold exactly one line", text);
  }
  const std::string_view line = std::string_view(text).substr(0, text.size() - 1);
  constexpr std::size_t kTimestampSize = 23;
  if (!isTimestamp(line.substr(0, kTimestampSize)) ||
      line.substr(kTimestampSize, head.size()) != head) {
    fail("the line does not start as the log's format says", line);
  }
  const std::string_view escaped = line.substr(kTimestampSize + head.size());
  if (escaped.find_first_of("\r\t") != std::string_view::npos) {
    fail("a carriage return or tab left unescaped", line);
  }
  if (!isUtf8(line)) {
    fail("the line is not UTF-8", line);
  }
  const std::optional<std::string> unescaped = velkfuzz::unescapeLogMessage(escaped);
  if (!unescaped || *unescaped != message) {
    fail("the message does not unescape to the bytes logged", line);
  }
  return 0;
}
