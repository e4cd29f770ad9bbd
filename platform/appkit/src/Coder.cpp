#include "appkit/Coder.h"

#include <utility>

namespace appkit {

Coder::Coder(std::map<std::string, std::string, std::less<>> values) : values_(std::move(values)) {}

std::optional<std::string> Coder::decodeString(std::string_view key) const {
  auto found = values_.find(key);
  if (found == values_.end()) {
    return std::nullopt;
  }
  return found->second;
}

}  // namespace appkit
