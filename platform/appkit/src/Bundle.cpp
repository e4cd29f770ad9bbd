#include "appkit/Bundle.h"

#include <dlfcn.h>

#include <filesystem>
#include <system_error>

#include "appkit/Class.h"

namespace appkit {

namespace fs = std::filesystem;

std::shared_ptr<Bundle> Bundle::forClass(const std::type_info& type) {
  const Class* cls = Class::forType(type);
  Dl_info info{};
  if (cls == nullptr || dladdr(cls->image(), &info) == 0 || info.dli_fname == nullptr) {
    return nullptr;
  }
  // libName.so.N has the resources <folder of the library>/<libdir to datadir>/Name.
  std::error_code error;
  const fs::path library = fs::canonical(info.dli_fname, error);
  if (error) {
    return nullptr;
  }
  std::string name = library.filename().string();
  if (name.starts_with("lib") && name.find(".so") != std::string::npos) {
    name = name.substr(3, name.find(".so") - 3);
  }
  return std::make_shared<Bundle>(
      (library.parent_path() / VELK_APPKIT_LIBDIR_TO_DATADIR / name).lexically_normal().string());
}

std::optional<std::string> Bundle::pathForResource(std::string_view name,
                                                   std::string_view type) const {
  const fs::path path = fs::path(resourcePath_) / (std::string(name) + "." + std::string(type));
  std::error_code error;
  return !name.empty() && fs::is_regular_file(path, error) ? std::optional(path.string())
                                                           : std::nullopt;
}

}  // namespace appkit
