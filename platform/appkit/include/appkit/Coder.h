#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace appkit {

// What an archive (a storyboard) stores for one object it instantiates: named
// text values, e.g. "title", "action". A class reads its own properties from
// it in its constructor taking a Coder.
class Coder {
 public:
  explicit Coder(std::map<std::string, std::string, std::less<>> values)
      : values_(std::move(values)) {}

  // The value stored under `key`; nullopt when there is none.
  std::optional<std::string> decodeString(std::string_view key) const {
    const auto found = values_.find(key);
    return found != values_.end() ? std::optional<std::string>(found->second) : std::nullopt;
  }

 private:
  std::map<std::string, std::string, std::less<>> values_;
};

}  // namespace appkit
