#include "VelkCommon/Logger.h"

#include <pthread.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>

#include "LogSink.h"
#include "foundation/Utf8.h"

namespace {

// Whether each of the eight bytes in `word` is printable ASCII other than a
// backslash: none is below 0x20 (the first term), none has its high bit set,
// none equals '\\' (the second term finds a zero byte in word ^ "\\\\...").
constexpr bool allPlain(std::uint64_t word) {
  constexpr std::uint64_t kOnes = 0x0101010101010101U;
  constexpr std::uint64_t kHighBits = 0x8080808080808080U;
  const std::uint64_t backslashes = word ^ (kOnes * '\\');
  return (((word - kOnes * ' ') | (backslashes - kOnes) | word) & kHighBits) == 0;
}

// The eight bytes at `bytes` as one word.
std::uint64_t wordAt(const char* bytes) {
  std::uint64_t word = 0;
  std::memcpy(&word, bytes, sizeof word);
  return word;
}

// Writes the message at `out` escaped as the log writes it (see Logger) and
// returns the end; `out` has room for four bytes per byte of the message.
char* writeEscaped(char* out, std::string_view message) {
  static constexpr std::string_view kHexDigits = "0123456789ABCDEF";
  for (std::size_t i = 0; i < message.size();) {
    if (i + 8 <= message.size() && allPlain(wordAt(&message[i]))) {
      out = std::copy_n(&message[i], 8, out);  // nearly every byte: printable ASCII, kept
      i += 8;
      continue;
    }
    const auto byte = static_cast<unsigned char>(message[i]);
    std::size_t kept = byte - unsigned{' '} < 0x60U && byte != '\\' ? 1 : 0;
    if (byte >= 0x80) {
      kept = foundation::Utf8::decode(message.substr(i)).length;
    }
    if (kept != 0) {
      out = std::copy_n(&message[i], kept, out);
      i += kept;
      continue;
    }
    const char* escaped = byte == '\\'   ? "\\\\"
                          : byte == '\n' ? "\\n"
                          : byte == '\r' ? "\\r"
                          : byte == '\t' ? "\\t"
                                         : nullptr;
    const std::array<char, 4> hex = {'\\', 'x', kHexDigits[byte >> 4U], kHexDigits[byte & 0x0FU]};
    out = escaped != nullptr ? std::copy_n(escaped, 2, out) : std::copy_n(hex.data(), 4, out);
    ++i;
  }
  return out;
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
    // Room for the header (at most 64 bytes besides the class and operation
    // names) and for every byte of the message written as \xNN.
    std::string line(64 + className.size() + operation.size() + 4 * message.size(), '\0');
    char* end = line.data();
    for (const std::string_view piece :
         {localTime(now.tv_sec), std::string_view(millis.data(), millis.size()), level,
          std::string_view(" "), std::string_view(idsOfThisThread()), std::string_view(" "),
          className, std::string_view("."), operation, std::string_view(" |")}) {
      end = std::copy(piece.begin(), piece.end(), end);
    }
    end = writeEscaped(end, message);
    *end++ = '\n';
    sink_->write(std::string_view(line.data(), static_cast<std::size_t>(end - line.data())));
  } catch (...) {
    // Out of memory: the line is dropped.
  }
}
