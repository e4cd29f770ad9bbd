#pragma once

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "appkit/AppKitExport.h"

namespace appkit {

// What an archive (a storyboard) stores for one object it instantiates: named
// text values, e.g. "id", "title", "action". A class reads its own properties
// from it in its constructor taking a Coder, which is what instantiating a
// class by name calls (see Class::instantiate).
class VELKAPPKIT_EXPORT Coder {
 public:
  // A coder holding no values.
  Coder() = default;
  explicit Coder(std::map<std::string, std::string, std::less<>> values);

  // The value stored under `key`; nullopt when there is none.
  std::optional<std::string> decodeString(std::string_view key) const;

 private:
  std::map<std::string, std::string, std::less<>> values_;
};

}  // namespace appkit
