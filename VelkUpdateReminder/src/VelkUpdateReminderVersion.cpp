#include "VelkUpdateReminder/VelkUpdateReminderVersion.h"

extern "C" {
// VELK_VERSION is the project's major.minor version, from CMake.
const double VelkUpdateReminderVersionNumber = VELK_VERSION;
const unsigned char VelkUpdateReminderVersionString[] =
    "@(#)PROGRAM:VelkUpdateReminder  PROJECT:VelkUpdateReminder-" VELK_VERSION_TEXT "\n";
}
