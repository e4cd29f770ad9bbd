#pragma once

// The log files of the Velk application family. Each member of the family
// logs through the case that names it; the case decides the log file name.
enum class LogFilePrefix : int {
  VELK_COMMON = 0,
  VELK_CARD_READER = 1,
  VELK_USER_CERT_SERVICE = 2,
  VELK_JPKI_SERVICE = 3,
  VELK_SIGN = 4,
  VELK_VERIFY = 5,
  VELK_PIN = 6,
  VELK_VIEWER = 7,
  VELK_SETTINGS = 8,
  VELK_INSTALLER = 9,
  VELK_UPDATE_REMINDER = 10,
};
