#include "VelkCommon/VelkPath.h"

#include <utility>

VelkPath::VelkPath(std::string path) : path_(std::move(path)) {}

VelkPath VelkPath::append(std::string_view name, bool hasSlash) const {
  std::string joined = path_;
  if (joined.empty() || joined.back() != '/') {
    joined += '/';
  }
  while (!name.empty() && name.front() == '/') {
    name.remove_prefix(1);
  }
  joined += name;
  if (hasSlash && joined.back() != '/') {
    joined += '/';
  }
  return VelkPath(std::move(joined));
}

const std::string& VelkPath::toString() const { return path_; }
