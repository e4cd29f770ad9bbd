#include "foundation/Clock.h"

#include <utility>

namespace foundation {

namespace {

// The replacement clock; empty means the system clock.
std::function<Date()> replacement;

}  // namespace

Date now() {
  return replacement
             ? replacement()
             : std::chrono::time_point_cast<Date::duration>(std::chrono::system_clock::now());
}

ScopedClock::ScopedClock(std::function<Date()> clock)
    : previous_(std::exchange(replacement, std::move(clock))) {}

ScopedClock::~ScopedClock() { replacement = std::move(previous_); }

}  // namespace foundation
