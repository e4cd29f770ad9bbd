#pragma once

#include "VelkUpdateReminder/VelkUpdateReminderExport.h"

extern "C" {
// The framework's version, 3.6.
VELKUPDATEREMINDER_EXPORT extern const double VelkUpdateReminderVersionNumber;
// The framework's version text, ending in a line feed.
VELKUPDATEREMINDER_EXPORT extern const unsigned char VelkUpdateReminderVersionString[];
}
