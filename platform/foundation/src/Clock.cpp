#include "foundation/Clock.h"

#include <mutex>
#include <utility>

namespace foundation {

namespace {

// The replaceable clock; empty means the system clock.
std::mutex clockMutex;
std::function<Date()> currentClock;

std::function<Date()> exchangeClock(std::function<Date()> clock) {
  const std::lock_guard<std::mutex> guard(clockMutex);
  return std::exchange(currentClock, std::move(clock));
}

}  // namespace

Date now() {
  std::function<Date()> clock;
  {
    const std::lock_guard<std::mutex> guard(clockMutex);
    clock = currentClock;
  }
  return clock ? clock()
               : std::chrono::time_point_cast<Date::duration>(std::chrono::system_clock::now());
}

ScopedClock::ScopedClock(std::function<Date()> clock)
    : previous_(exchangeClock(std::move(clock))) {}

ScopedClock::~ScopedClock() { exchangeClock(std::move(previous_)); }

}  // namespace foundation
