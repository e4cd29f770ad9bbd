#include "VelkCommon/Logger.h"

#include <pthread.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <ctime>
#include <string>
#include <utility>

#include "LogSink.h"
#include "foundation/Utf8.h"

namespace {

// Appends the message escaped as the log writes it (see Logger). Runs of
// bytes that stay as they are go in one piece.
void appendEscaped(std::string& out, std::string_view message) {
  static constexpr std::string_view kHexDigits = "0123456789ABCDEF";
  // Nearly every message is printable ASCII without a backslash.
  if (std::all_of(message.begin(), message.end(),
                  [](char c) { return c >= ' ' && c <= '~' && c != '\\'; })) {
    out += message;
    return;
  }
  std::size_t plain = 0;
  for (std::size_t i = 0; i < message.size();) {
    const auto byte = static_cast<unsigned char>(message[i]);
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

}  // namespace

Logger::Logger(std::shared_ptr<LogSink> sink) : sink_(std::move(sink)) {}

void Logger::debug(std::string_view message, LogCaller caller,
                   std::string_view operation) const noexcept {
  write("DEBUG", message, caller, operation);
}

void Logger::error(std::string_view message, LogCaller caller,
                   std::string_view operation) const noexcept {
  write("ERROR", message, caller, operation);
}

void Logger::fatal(std::string_view message, LogCaller caller,
                   std::string_view operation) const noexcept {
  write("FATAL", message, caller, operation);
}

void Logger::write(std::string_view level, std::string_view message, LogCaller caller,
                   std::string_view operation) const noexcept {
  if (sink_ == nullptr) {
    return;
  }
  try {
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    tm local{};
    ::localtime_r(&now.tv_sec, &local);
    // strftime() and snprintf() cost several times the rest of the line.
    std::array<char, 24> stamp{};
    const auto put = [&stamp](std::size_t at, long value, int digits) {
      for (; digits > 0; --digits, value /= 10) {
        stamp[at + digits - 1] = static_cast<char>('0' + value % 10);
      }
    };
    std::string_view("0000-00-00 00:00:00.000 ").copy(stamp.data(), 24);
    put(0, local.tm_year + 1900L, 4);
    put(5, local.tm_mon + 1L, 2);
    put(8, local.tm_mday, 2);
    put(11, local.tm_hour, 2);
    put(14, local.tm_min, 2);
    put(17, local.tm_sec, 2);
    put(20, now.tv_nsec / 1000000, 3);
    const std::string_view className = caller.className();
    std::string line;
    line.reserve(64 + className.size() + operation.size() + message.size());
    line.append(stamp.data(), stamp.size());
    line += level;
    line += ' ';
    line += idsOfThisThread();
    line += ' ';
    line += className;
    line += '.';
    line += operation;
    line += " |";
    appendEscaped(line, message);
    line += '\n';
    sink_->write(line);
  } catch (...) {
    // Out of memory: the line is dropped.
  }
}
