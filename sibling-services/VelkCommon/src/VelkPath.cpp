#include "VelkCommon/VelkPath.h"

#include <algorithm>
#include <utility>

VelkPath VelkPath::append(std::string_view name, bool hasSlash) const {
  std::string joined = path_ + (path_.ends_with('/') ? "" : "/");
  joined += name.substr(std::min(name.find_first_not_of('/'), name.size()));
  joined += hasSlash && !joined.ends_with('/') ? "/" : "";
  return VelkPath(std::move(joined));
}
