#pragma once

#include <optional>

namespace foundation {

// A set of optional calendar fields, in the Gregorian calendar. The default
// member initialisers let designated initialisers name only some fields.
struct DateComponents {
  std::optional<int> year = std::nullopt;
  std::optional<int> month = std::nullopt;
  std::optional<int> day = std::nullopt;
  std::optional<int> hour = std::nullopt;
  std::optional<int> minute = std::nullopt;
  std::optional<int> second = std::nullopt;
  std::optional<int> nanosecond = std::nullopt;

  bool operator==(const DateComponents&) const = default;
};

}  // namespace foundation
