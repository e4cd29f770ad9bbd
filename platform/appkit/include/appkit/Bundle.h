#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <typeinfo>

#include "appkit/AppKitExport.h"

namespace appkit {

// A resource folder. The one of the shared library <libdir>/libName.so.N is
// <datadir>/Name, found at run time from where the library was loaded: the
// relative path from the library folder to the data folder is the one of the
// installation, and the build tree lays out its libraries and data the same
// way, so both an installed and a freshly built library find their resources.
class VELKAPPKIT_EXPORT Bundle {
 public:
  // A bundle whose resources are in the folder `resourcePath`.
  explicit Bundle(std::string resourcePath) : resourcePath_(std::move(resourcePath)) {}

  // The bundle of the library that registered the class `type`
  // (Class::define); nullptr when none did.
  static std::shared_ptr<Bundle> forClass(const std::type_info& type);

  const std::string& resourcePath() const { return resourcePath_; }

  // "<resourcePath>/<name>.<type>" when that regular file exists; nullopt
  // otherwise.
  std::optional<std::string> pathForResource(std::string_view name, std::string_view type) const;

 private:
  std::string resourcePath_;
};

}  // namespace appkit
