#pragma once

// The log files of the Velk application family: each member logs through the
// case that names it, and the case decides the log file. This framework is
// the family's update reminder.
enum class LogFilePrefix : int {
  VELK_COMMON = 0,
  VELK_UPDATE_REMINDER = 10,
};
