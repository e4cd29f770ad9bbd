#include "VelkCommon/Logger.h"

#include <sys/types.h>
#include <unistd.h>

#include <ctime>
#include <string>
#include <utility>

#include "LogSink.h"

namespace {

// A line buffer that keeps more than this after a long message gives it back.
constexpr std::size_t kKeptBufferCapacity = 16 * 1024;

// `value` in decimal, left-padded with zeros to `width` digits.
void appendNumber(std::string& out, unsigned long value, std::size_t width) {
  char digits[24];
  std::size_t count = 0;
  do {
    digits[count++] = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value != 0);
  while (count < width) {
    digits[count++] = '0';
  }
  while (count > 0) {
    out += digits[--count];
  }
}

// "yyyy-MM-dd HH:mm:ss.SSS" of the current instant in local time.
void appendTimestamp(std::string& out) {
  timespec now{};
  ::clock_gettime(CLOCK_REALTIME, &now);
  tm local{};
  ::localtime_r(&now.tv_sec, &local);
  appendNumber(out, static_cast<unsigned long>(local.tm_year + 1900), 4);
  out += '-';
  appendNumber(out, static_cast<unsigned long>(local.tm_mon + 1), 2);
  out += '-';
  appendNumber(out, static_cast<unsigned long>(local.tm_mday), 2);
  out += ' ';
  appendNumber(out, static_cast<unsigned long>(local.tm_hour), 2);
  out += ':';
  appendNumber(out, static_cast<unsigned long>(local.tm_min), 2);
  out += ':';
  appendNumber(out, static_cast<unsigned long>(local.tm_sec), 2);
  out += '.';
  appendNumber(out, static_cast<unsigned long>(now.tv_nsec / 1000000), 3);
}

// The message with backslash, line feed, carriage return and tab written as
// \\, \n, \r and \t, so that every message stays on its line.
void appendEscaped(std::string& out, std::string_view message) {
  std::size_t plainStart = 0;
  for (std::size_t i = 0; i < message.size(); ++i) {
    char escaped = 0;
    switch (message[i]) {
      case '\\':
        escaped = '\\';
        break;
      case '\n':
        escaped = 'n';
        break;
      case '\r':
        escaped = 'r';
        break;
      case '\t':
        escaped = 't';
        break;
      default:
        continue;
    }
    out.append(message, plainStart, i - plainStart);
    out += '\\';
    out += escaped;
    plainStart = i + 1;
  }
  out.append(message, plainStart);
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
  if (!sink_) {
    return;
  }
  try {
    // Each thread formats into its own buffer, kept between lines.
    thread_local std::string line;
    line.clear();
    appendTimestamp(line);
    line += ' ';
    line += level;
    line += ' ';
    appendNumber(line, static_cast<unsigned long>(::getpid()), 1);
    line += ':';
    appendNumber(line, static_cast<unsigned long>(::gettid()), 1);
    line += ' ';
    line += caller.className();
    line += '.';
    line += operation;
    line += " |";
    appendEscaped(line, message);
    line += '\n';
    sink_->write(line);
    if (line.capacity() > kKeptBufferCapacity) {
      std::string().swap(line);
    }
  } catch (...) {
    // Out of memory: the line is dropped.
  }
}
