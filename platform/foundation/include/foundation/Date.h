#pragma once

#include <chrono>

namespace foundation {

// An absolute instant, in microseconds since 1970 (UTC). Microseconds rather
// than the system clock's nanoseconds, so that far dates such as the
// "no expiry" 9999-12-31 of certificates fit.
using Date = std::chrono::sys_time<std::chrono::microseconds>;

}  // namespace foundation
