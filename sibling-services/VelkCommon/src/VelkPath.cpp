#include "VelkCommon/VelkPath.h"

#include <algorithm>
#include <utility>

VelkPath::VelkPath(std::string path) : path_(std::move(path)) {}

VelkPath VelkPath::append(std::string_view name, bool hasSlash) const {
  std::string joined = path_;
  if (joined.empty() || joined.back() != '/') {
    joined += '/';
  }
  joined += name.substr(std::min(name.find_first_not_of('/'), name.size()));
  if (hasSlash && joined.back() != '/') {
    joined += '/';
  }
  return VelkPath(std::move(joined));
}

const std::string& VelkPath::toString() const { return path_; }
