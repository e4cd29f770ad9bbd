#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <typeinfo>

#include "appkit/AppKitExport.h"

namespace appkit {

// A program or shared library and its resource folder. The resource folder
// of <libdir>/libName.so.N is <datadir>/Name, found at run time from where
// the file was loaded: the relative path from the library folder to the data
// folder is the one of the installation, and the build tree lays out its
// libraries and data the same way, so both an installed and a freshly built
// library find their resources. A program uses the same rule from its own
// folder.
class VELKAPPKIT_EXPORT Bundle {
 public:
  // The bundle of the library or program that defines the class `type`: the
  // one that registered it by name (ClassBuilder), else the one holding its
  // type information. nullptr when it cannot be found.
  static std::shared_ptr<Bundle> forClass(const std::type_info& type);

  // The bundle of the loaded library or program that contains `address`;
  // nullptr when none does.
  static std::shared_ptr<Bundle> forAddress(const void* address);

  // The bundle of the running program.
  static std::shared_ptr<Bundle> mainBundle();

  // A bundle that is just a resource folder (no library).
  static std::shared_ptr<Bundle> bundleWithResourcePath(std::string resourcePath);

  Bundle(std::string executablePath, std::string resourcePath);

  // The library or program file; empty for a bare resource folder.
  const std::string& executablePath() const { return executablePath_; }
  const std::string& resourcePath() const { return resourcePath_; }

  // "<resourcePath>/<name>.<type>" (or "<resourcePath>/<name>" for an empty
  // type) when that regular file exists; nullopt otherwise.
  std::optional<std::string> pathForResource(std::string_view name, std::string_view type) const;

 private:
  std::string executablePath_;
  std::string resourcePath_;
};

}  // namespace appkit
