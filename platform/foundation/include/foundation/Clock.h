#pragma once

#include <functional>

#include "foundation/Date.h"
#include "foundation/FoundationExport.h"

namespace foundation {

// The current instant. Everything that asks "what time is it" asks here, so
// that tests can freeze the clock.
VELKFOUNDATION_EXPORT Date now();

// Replaces the clock for its lifetime (tests only); the previous clock comes
// back when it ends. Set it while no other thread asks for the time.
class VELKFOUNDATION_EXPORT ScopedClock {
 public:
  explicit ScopedClock(std::function<Date()> clock);
  ~ScopedClock();
  ScopedClock(const ScopedClock&) = delete;
  ScopedClock& operator=(const ScopedClock&) = delete;

 private:
  std::function<Date()> previous_;
};

}  // namespace foundation
