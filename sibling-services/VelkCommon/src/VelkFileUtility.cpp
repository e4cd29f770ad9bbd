#include "VelkCommon/VelkFileUtility.h"

#include "XdgDirectory.h"

VelkPath VelkFileUtility::getVelkDirectory(bool hasSlash) {
  return VelkPath(xdgBaseDirectory("XDG_DATA_HOME", ".local/share")).append("velk", hasSlash);
}
