#include "VelkCommon/Logger.h"

#include <pthread.h>
#include <unistd.h>

#include <array>
#include <ctime>
#include <string>
#include <utility>

#include "LogSink.h"
#include "foundation/Utf8.h"

namespace {

// Appends `value` in decimal, zero-padded to at least `width` digits.
void appendNumber(std::string& out, long value, int width) {
  std::array<char, 24> digits{};
  int count = 0;
  do {
    digits[count++] = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value != 0 || count < width);
  while (count > 0) {
    out += digits[--count];
  }
}

// Appends the message escaped as the log writes it (see Logger). Runs of
// bytes that stay as they are go in one piece.
void appendEscaped(std::string& out, std::string_view message) {
  static constexpr std::string_view kHexDigits = "0123456789ABCDEF";
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
    if (escaped != nullptr) {
      out += escaped;
    } else {
      out += "\\x";
      out += kHexDigits[byte >> 4U];
      out += kHexDigits[byte & 0x0FU];
    }
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
    const std::string_view className = caller.className();
    std::string line;
    line.reserve(64 + className.size() + operation.size() + message.size());
    appendNumber(line, local.tm_year + 1900L, 4);
    line += '-';
    appendNumber(line, local.tm_mon + 1L, 2);
    line += '-';
    appendNumber(line, local.tm_mday, 2);
    line += ' ';
    appendNumber(line, local.tm_hour, 2);
    line += ':';
    appendNumber(line, local.tm_min, 2);
    line += ':';
    appendNumber(line, local.tm_sec, 2);
    line += '.';
    appendNumber(line, now.tv_nsec / 1000000, 3);
    line += ' ';
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
