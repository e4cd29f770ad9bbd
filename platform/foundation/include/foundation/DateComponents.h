#pragma once

#include <optional>

namespace foundation {

// A set of optional calendar fields, in the Gregorian calendar. The default
// member initialisers let designated initialisers name only some fields.
struct DateComponents {
  std::optional<int> year{};
  std::optional<int> month{};
  std::optional<int> day{};
  std::optional<int> hour{};
  std::optional<int> minute{};
  std::optional<int> second{};
  std::optional<int> nanosecond{};

  bool operator==(const DateComponents&) const = default;
};

}  // namespace foundation
