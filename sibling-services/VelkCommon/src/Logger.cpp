#include "VelkCommon/Logger.h"

#include <pthread.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <ctime>
#include <string>

#include "LogSink.h"
#include "foundation/Utf8.h"

namespace {

// Appends the message escaped as the log writes it (see Logger). Runs of
// bytes that stay as they are go in one piece.
void appendEscaped(std::string& out, std::string_view message) {
  static constexpr std::string_view kHexDigits = "0123456789ABCDEF";
  std::size_t plain = 0;
  for (std::size_t i = 0; i < message.size();) {
    const auto byte = static_cast<unsigned char>(message[i]);
    if (byte >= ' ' && byte < 0x80 && byte != '\\') {
      ++i;  // nearly every byte: printable ASCII, kept
      continue;
    }
    const char* escaped = byte == '\\'   ? "\\\\"
                          : byte == '\n' ? "\\n"
                          : byte == '\r' ? "\\r"
                          : byte == '\t' ? "\\t"
                                         : nullptr;
    const std::size_t length = byte < 0x80 ? 1 : foundation::Utf8::decode(message.substr(i)).length;
    if (escaped == nullptr && length != 0) {
      i += length;
      continue;
    }
    out.append(message.substr(plain, i - plain));
    out += escaped != nullptr
               ? std::string(escaped)
               : std::string{'\\', 'x', kHexDigits[byte >> 4U], kHexDigits[byte & 0x0FU]};
    plain = ++i;
  }
  out.append(message.substr(plain));
}

// The calling thread's "pid:tid". Each id costs a system call, about as much
// as writing the line, so they are asked once per thread; a forked child's
// only thread asks again.
thread_local std::string threadIds;
const std::string& idsOfThisThread() {
  static const bool forgottenAfterFork =
      ::pthread_atfork(nullptr, nullptr, [] { threadIds.clear(); }) == 0;
  if (threadIds.empty() || !forgottenAfterFork) {
    threadIds = std::to_string(::getpid()) + ":" + std::to_string(::gettid());
  }
  return threadIds;
}

// "yyyy-MM-dd HH:mm:ss." of `second` in local time. Converting costs a third
// of a line, so each thread converts once a second, and again when tzset()
// has changed the time zone.
std::string_view localTime(time_t second) {
  struct Converted {
    time_t second = -1;
    long zone = 0;
    std::array<const char*, 2> names{};
    std::array<char, 64> text{};
  };
  thread_local Converted converted;
  if (second != converted.second || ::timezone != converted.zone ||
      ::tzname[0] != converted.names[0] || ::tzname[1] != converted.names[1]) {
    tm local{};
    ::localtime_r(&second, &local);
    std::snprintf(converted.text.data(), converted.text.size(), "%04d-%02d-%02d %02d:%02d:%02d.",
                  local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                  local.tm_min, local.tm_sec);
    // localtime_r() sets the zone up on first use, so the key is read after it.
    converted = {second, ::timezone, {::tzname[0], ::tzname[1]}, converted.text};
  }
  return {converted.text.data(), 20};
}

}  // namespace

void Logger::write(std::string_view level, std::string_view message, LogCaller caller,
                   std::string_view operation) const noexcept {
  if (sink_ == nullptr) {
    return;
  }
  try {
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    const std::string_view className = caller.className();
    const long milliseconds = now.tv_nsec / 1000000;
    const std::array<char, 4> millis = {static_cast<char>('0' + milliseconds / 100),
                                        static_cast<char>('0' + milliseconds / 10 % 10),
                                        static_cast<char>('0' + milliseconds % 10), ' '};
    std::string line;
    line.reserve(64 + className.size() + operation.size() + message.size());
    for (const std::string_view piece :
         {localTime(now.tv_sec), std::string_view(millis.data(), millis.size()), level,
          std::string_view(" "), std::string_view(idsOfThisThread()), std::string_view(" "),
          className, std::string_view("."), operation, std::string_view(" |")}) {
      line += piece;
    }
    appendEscaped(line, message);
    line += '\n';
    sink_->write(line);
  } catch (...) {
    // Out of memory: the line is dropped.
  }
}
