#include "VelkCommon/Logger.h"

#include <pthread.h>
#include <sys/single_threaded.h>
#include <sys/types.h>
#include <unistd.h>
#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <ctime>
#include <string>
#include <typeinfo>
#include <utility>

#include "LogSink.h"
#include "foundation/Utf8.h"

namespace {

// A line buffer that keeps more than this after a long message gives it back.
constexpr std::size_t kKeptBufferCapacity = std::size_t{16} * 1024;
// Lines up to this size whose message needs no escaping are put together in
// a fixed buffer: nearly all of them.
constexpr std::size_t kShortLine = 1024;

// What each thread keeps between lines, so that a line costs no allocation,
// no system call besides its write, and one time zone conversion a second.
struct ThreadState {
  std::array<char, kShortLine> shortLine{};
  // The ids of the calling thread, asked of the kernel once per thread, and
  // their text "pid:tid".
  pid_t pid = 0;
  pid_t tid = 0;
  std::array<char, 24> ids{};
  std::size_t idsLength = 0;
  // "yyyy-MM-dd HH:mm:ss" of `second`, in the time zone tzset() last set
  // (named by `zoneName` with UTC offset `zoneOffset`).
  time_t second = -1;
  long zoneOffset = 0;
  const char* zoneName = nullptr;
  std::array<char, 19> dateTime{};
  // The class names this thread logged lately, one per slot picked by the
  // type's address: a job's lines come from a handful of classes that take
  // turns, and LogCaller::className() takes a lock.
  struct ClassName {
    const std::type_info* type = nullptr;
    std::string_view name;
  };
  std::array<ClassName, 16> classNames{};
};

// Trivially destructible and constant-initialised, so that no guard is
// checked per line; the buffer of long lines is kept apart (in writeLine())
// for that reason. Not initial-exec: a host may load the framework with
// dlopen(), and the static TLS block has no room for this much.
thread_local ThreadState threadState;
// The state of the process's only thread while it has one (the C library
// knows, and never says so again once a second thread has started): a
// thread-local variable of a shared library costs a call to reach, about a
// fiftieth of a line's whole cost. From the second thread on, each thread
// uses its own.
ThreadState onlyThreadState;

// Writes `value` as exactly `width` decimal digits, zero-padded, and returns
// the end.
char* putDigits(char* out, unsigned long value, int width) {
  for (int i = width - 1; i >= 0; --i) {
    out[i] = static_cast<char>('0' + value % 10);
    value /= 10;
  }
  return out + width;
}

// Writes `value` in decimal and returns the end.
char* putNumber(char* out, unsigned long value) {
  std::array<char, 24> digits{};
  int count = 0;
  do {
    digits[count++] = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value != 0);
  while (count > 0) {
    *out++ = digits[--count];
  }
  return out;
}

// In a forked child the only thread is the one that called fork(), and its
// ids have changed.
void forgetIdsAfterFork() {
  threadState.pid = 0;
  threadState.tid = 0;
  onlyThreadState.pid = 0;
  onlyThreadState.tid = 0;
}

ThreadState& stateOfThisThread() {
  static const bool forkHandled = ::pthread_atfork(nullptr, nullptr, &forgetIdsAfterFork) == 0;
  ThreadState& state = __libc_single_threaded != 0 ? onlyThreadState : threadState;
  if (state.pid == 0 || !forkHandled) {
    state.pid = ::getpid();
    state.tid = ::gettid();
    char* out = putNumber(state.ids.data(), static_cast<unsigned long>(state.pid));
    *out++ = ':';
    out = putNumber(out, static_cast<unsigned long>(state.tid));
    state.idsLength = static_cast<std::size_t>(out - state.ids.data());
  }
  return state;
}

char* putText(char* out, std::string_view text) { return std::copy(text.begin(), text.end(), out); }

std::string_view classNameOf(ThreadState& state, LogCaller caller) {
  const std::type_info* const type = &caller.type();
  // A multiplicative hash of the address: type_info objects lie a few words
  // apart, so their low bits alone would share slots.
  ThreadState::ClassName& slot =
      state.classNames[(reinterpret_cast<std::uintptr_t>(type) * 0x9E3779B97F4A7C15U) >> 60U];
  if (slot.type != type) {
    slot = {type, caller.className()};
  }
  return slot.name;
}

// "yyyy-MM-dd HH:mm:ss" of `second` in local time, converted anew only when
// the second or the time zone has changed.
const char* localDateTime(ThreadState& state, time_t second) {
  if (second == state.second && state.zoneOffset == ::timezone && state.zoneName == ::tzname[0]) {
    return state.dateTime.data();
  }
  tm local{};
  ::localtime_r(&second, &local);
  char* out = putDigits(state.dateTime.data(), static_cast<unsigned long>(local.tm_year) + 1900, 4);
  *out++ = '-';
  out = putDigits(out, static_cast<unsigned long>(local.tm_mon) + 1, 2);
  *out++ = '-';
  out = putDigits(out, static_cast<unsigned long>(local.tm_mday), 2);
  *out++ = ' ';
  out = putDigits(out, static_cast<unsigned long>(local.tm_hour), 2);
  *out++ = ':';
  out = putDigits(out, static_cast<unsigned long>(local.tm_min), 2);
  *out++ = ':';
  putDigits(out, static_cast<unsigned long>(local.tm_sec), 2);
  // localtime_r() sets the zone up on first use, so the key is read after it.
  state.second = second;
  state.zoneOffset = ::timezone;
  state.zoneName = ::tzname[0];
  return state.dateTime.data();
}

// Writes "yyyy-MM-dd HH:mm:ss.SSS LEVEL pid:tid " for `now` and returns the
// end; `out` has room for kHeadSize characters.
constexpr std::size_t kHeadSize = 96;
char* putHead(char* out, ThreadState& state, std::string_view level, const timespec& now) {
  // Copies of a size known here are a few moves instead of a call; the ids
  // are copied whole (kHeadSize leaves room) and the end set after them.
  std::memcpy(out, localDateTime(state, now.tv_sec), sizeof state.dateTime);
  out += sizeof state.dateTime;
  *out++ = '.';
  const auto milliseconds = static_cast<unsigned>(now.tv_nsec / 1000000);
  *out++ = static_cast<char>('0' + milliseconds / 100);
  *out++ = static_cast<char>('0' + milliseconds / 10 % 10);
  *out++ = static_cast<char>('0' + milliseconds % 10);
  *out++ = ' ';
  out = putText(out, level);
  *out++ = ' ';
  std::memcpy(out, state.ids.data(), sizeof state.ids);
  out += state.idsLength;
  *out++ = ' ';
  return out;
}

// The message with backslash, line feed, carriage return and tab written as
// \\, \n, \r and \t, so that every message stays on its line, and each byte
// that is not part of well-formed UTF-8 as \xNN (two upper-case hex digits),
// so that the file stays UTF-8. Runs of plain ASCII are copied in one piece;
// only bytes from 0x80 up are decoded.
void appendEscaped(std::string& out, std::string_view message) {
  static constexpr std::string_view kHexDigits = "0123456789ABCDEF";
  std::size_t plainStart = 0;
  std::size_t i = 0;
  while (i < message.size()) {
    const auto byte = static_cast<unsigned char>(message[i]);
    if (byte >= 0x20 && byte < 0x80 && byte != '\\') {
      ++i;
      continue;
    }
    char escaped = 0;
    if (byte >= 0x80) {
      const std::size_t length = foundation::Utf8::decode(message.substr(i)).length;
      if (length != 0) {
        i += length;
        continue;
      }
      out.append(message, plainStart, i - plainStart);
      const std::array<char, 4> hex = {'\\', 'x', kHexDigits[byte >> 4U], kHexDigits[byte & 0x0FU]};
      out.append(hex.data(), hex.size());
      plainStart = ++i;
      continue;
    }
    switch (byte) {
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
        ++i;
        continue;
    }
    out.append(message, plainStart, i - plainStart);
    out += '\\';
    out += escaped;
    plainStart = ++i;
  }
  out.append(message, plainStart);
}

// Whether escaping leaves `byte` as it is: printable ASCII but backslash.
bool plainByte(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return byte >= 0x20 && byte < 0x7F && byte != '\\';
}

#ifdef __SSE2__
// Whether all 16 bytes at `in` are plain (see plainByte); copies them to
// `out` either way.
bool copyPlain16(char* out, const char* in) {
  const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(out), bytes);
  // Signed compares: bytes from 0x80 up are negative, so below 0x20 too.
  const __m128i plain = _mm_andnot_si128(_mm_cmpeq_epi8(bytes, _mm_set1_epi8('\\')),
                                         _mm_and_si128(_mm_cmpgt_epi8(bytes, _mm_set1_epi8(0x1F)),
                                                       _mm_cmplt_epi8(bytes, _mm_set1_epi8(0x7F))));
  return _mm_movemask_epi8(plain) == 0xFFFF;
}
#endif

// Copies `message` to `out` and returns its end when escaping leaves it as
// it is, as nearly every message; nullptr otherwise. Checks and copies
// sixteen bytes at a time where it can.
char* putPlain(char* out, std::string_view message) {
  const char* in = message.data();
  const std::size_t size = message.size();
#ifdef __SSE2__
  if (size >= 16) {
    bool plain = true;
    for (std::size_t i = 0; i + 16 < size; i += 16) {
      plain = copyPlain16(out + i, in + i) && plain;
    }
    // The last sixteen bytes, which may overlap those copied above.
    plain = copyPlain16(out + size - 16, in + size - 16) && plain;
    return plain ? out + size : nullptr;
  }
#endif
  for (std::size_t i = 0; i < size; ++i) {
    if (!plainByte(in[i])) {
      return nullptr;
    }
    out[i] = in[i];
  }
  return out + size;
}

// Writes one line to `sink`. Inlined into each level's operation, so that
// the level's text is a constant and the line costs one call less.
[[gnu::always_inline]] inline void writeLine(LogSink* sink, std::string_view level,
                                             std::string_view message, LogCaller caller,
                                             std::string_view operation) noexcept {
  if (sink == nullptr) {
    return;
  }
  try {
    ThreadState& state = stateOfThisThread();
    const std::string_view className = classNameOf(state, caller);
    // The one clock reading of the line: its time stamp, and the second by
    // which the sink makes its checks.
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    if (kHeadSize + className.size() + operation.size() + message.size() + 4 <= kShortLine) {
      char* const start = state.shortLine.data();
      char* out = putHead(start, state, level, now);
      out = putText(out, className);
      *out++ = '.';
      out = putText(out, operation);
      *out++ = ' ';
      *out++ = '|';
      out = putPlain(out, message);
      if (out != nullptr) {
        *out++ = '\n';
        sink->write(std::string_view(start, static_cast<std::size_t>(out - start)), now.tv_sec);
        return;
      }
    }
    thread_local std::string longLine;
    std::string& line = longLine;
    std::array<char, kHeadSize> head{};
    line.assign(head.data(), putHead(head.data(), state, level, now));
    line += className;
    line += '.';
    line += operation;
    line += " |";
    appendEscaped(line, message);
    line += '\n';
    sink->write(line, now.tv_sec);
    if (line.capacity() > kKeptBufferCapacity) {
      std::string().swap(line);
    }
  } catch (...) {
    // Out of memory: the line is dropped.
  }
}

}  // namespace

Logger::Logger(std::shared_ptr<LogSink> sink) : sink_(std::move(sink)) {}

void Logger::debug(std::string_view message, LogCaller caller,
                   std::string_view operation) const noexcept {
  writeLine(sink_.get(), "DEBUG", message, caller, operation);
}

void Logger::error(std::string_view message, LogCaller caller,
                   std::string_view operation) const noexcept {
  writeLine(sink_.get(), "ERROR", message, caller, operation);
}

void Logger::fatal(std::string_view message, LogCaller caller,
                   std::string_view operation) const noexcept {
  writeLine(sink_.get(), "FATAL", message, caller, operation);
}
