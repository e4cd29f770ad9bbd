#pragma once

#include <chrono>

namespace foundation {

// An absolute instant.
using Date = std::chrono::system_clock::time_point;

}  // namespace foundation
