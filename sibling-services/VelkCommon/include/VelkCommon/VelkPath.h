#pragma once

#include <string>
#include <string_view>
#include <utility>

#include "VelkCommon/VelkCommonExport.h"

// A file system path as the family's utilities hand it out.
class VELKCOMMON_EXPORT VelkPath {
 public:
  explicit VelkPath(std::string path) : path_(std::move(path)) {}

  // The path of `name` inside this folder, with a trailing '/' when
  // `hasSlash`. Exactly one '/' separates the two.
  VelkPath append(std::string_view name, bool hasSlash) const;

  const std::string& toString() const { return path_; }

 private:
  std::string path_;
};
