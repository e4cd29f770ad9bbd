// Logs arbitrary bytes as the message of a debug line and reads the log file
// back: it must hold exactly one line, in the log's format, with no raw
// carriage return or tab, that is well-formed UTF-8 (as the C library's
// converter judges it) and whose message unescapes to the bytes given. The log
// lies on tmpfs where there is one and is emptied before every run, so each
// run costs one write and one read.
#include <iconv.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "FuzzSupport.h"
#include "VelkCommon/VelkLog.h"

// The caller named in the fuzzer's log lines.
class LogMessageFuzzer {};

namespace {

constexpr std::string_view kOperation = "escape(message:)";
// Longer messages would carry the file past its rotation size within the
// lines the logger writes between two looks at it.
constexpr std::size_t kMaxMessageSize = std::size_t{64} * 1024;

std::string logFile;
// " DEBUG pid:tid LogMessageFuzzer.escape(message:) |"
std::string head;

void check(bool holds, const char* what, std::string_view line) {
  if (!holds) {
    velkfuzz::fail("log_message_fuzzer: " + std::string(what) + "\nline: " + std::string(line));
  }
}

// Whether `text` starts with "yyyy-MM-dd HH:mm:ss.SSS": digits where the
// pattern has letters, the separators as they stand.
bool startsWithTimestamp(std::string_view text) {
  constexpr std::string_view kPattern = "dddd-dd-dd dd:dd:dd.ddd";
  for (std::size_t i = 0; i < kPattern.size(); ++i) {
    if (i >= text.size() ||
        (kPattern[i] == 'd' ? text[i] < '0' || text[i] > '9' : text[i] != kPattern[i])) {
      return false;
    }
  }
  return true;
}

// Whether `text` is well-formed UTF-8, judged by iconv rather than by the
// decoder the logger itself uses.
bool isUtf8(std::string text) {
  static iconv_t converter = ::iconv_open("UTF-32LE", "UTF-8");
  std::string out(text.size() * 4 + 4, '\0');
  char* in = text.data();
  char* put = out.data();
  std::size_t inLeft = text.size();
  std::size_t outLeft = out.size();
  ::iconv(converter, nullptr, nullptr, nullptr, nullptr);
  return ::iconv(converter, &in, &inLeft, &put, &outLeft) != static_cast<std::size_t>(-1) &&
         inLeft == 0;
}

void logDebug(std::string_view message) {
  static const Logger log = VelkLog::getLogger(LogFilePrefix::VELK_UPDATE_REMINDER);
  const LogMessageFuzzer caller;
  log.debug(message, &caller, kOperation);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* /*argc*/, char*** /*argv*/) {
  static const velkfuzz::FuzzHome home;
  logFile = VelkLog::getLogFilePath(LogFilePrefix::VELK_UPDATE_REMINDER);
  head = " DEBUG " + std::to_string(::getpid()) + ":" + std::to_string(::gettid()) +
         " LogMessageFuzzer." + std::string(kOperation) + " |";
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > kMaxMessageSize) {
    return 0;
  }
  const std::string_view message(reinterpret_cast<const char*>(data), size);
  velkfuzz::writeFile(logFile, "");
  logDebug(message);
  const std::string text = velkfuzz::readFile(logFile);
  check(!text.empty() && text.find('\n') == text.size() - 1, "not exactly one line in the log",
        text);
  const std::string_view line = std::string_view(text).substr(0, text.size() - 1);
  constexpr std::size_t kTimestampSize = 23;
  check(startsWithTimestamp(line) && line.substr(kTimestampSize, head.size()) == head,
        "the line does not start as the log's format says", line);
  check(line.find_first_of("\r\t") == std::string_view::npos,
        "a carriage return or tab left unescaped", line);
  check(isUtf8(std::string(line)), "the line is not UTF-8", line);
  check(velkfuzz::messageOf(line) == message, "the message does not unescape to the bytes logged",
        line);
  return 0;
}
