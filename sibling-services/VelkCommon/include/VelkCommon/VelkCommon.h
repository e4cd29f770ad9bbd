#pragma once

#include "VelkCommon/FileDescriptor.h"
#include "VelkCommon/LogCaller.h"
#include "VelkCommon/LogFilePrefix.h"
#include "VelkCommon/Logger.h"
#include "VelkCommon/VelkException.h"
#include "VelkCommon/VelkFileUtility.h"
#include "VelkCommon/VelkHexUtility.h"
#include "VelkCommon/VelkLockController.h"
#include "VelkCommon/VelkLog.h"
#include "VelkCommon/VelkPath.h"
#include "VelkCommon/VelkString.h"
