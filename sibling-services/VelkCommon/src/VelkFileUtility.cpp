#include "VelkCommon/VelkFileUtility.h"

#include <sys/stat.h>

#include <cerrno>

#include "XdgDirectory.h"

VelkPath VelkFileUtility::getVelkDirectory(bool hasSlash) {
  return VelkPath(xdgBaseDirectory("XDG_DATA_HOME", ".local/share")).append("velk", hasSlash);
}

std::error_code VelkFileUtility::createPrivateDirectories(const std::string& path) {
  // Each prefix that ends before a '/', then the whole path.
  for (std::size_t end = path.find('/', 1);; end = path.find('/', end + 1)) {
    const std::string folder = path.substr(0, end);
    if (::mkdir(folder.c_str(), S_IRWXU) == 0) {
      ::chmod(folder.c_str(), S_IRWXU);
    } else if (errno != EEXIST) {
      return {errno, std::generic_category()};
    }
    if (end == std::string::npos) {
      break;
    }
  }
  struct stat info = {};
  if (::stat(path.c_str(), &info) != 0) {
    return {errno, std::generic_category()};
  }
  return S_ISDIR(info.st_mode) ? std::error_code()
                               : std::make_error_code(std::errc::not_a_directory);
}
