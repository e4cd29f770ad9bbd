#include "VelkUpdateReminder/VelkUpdateReminderVersion.h"

extern "C" {
const double VelkUpdateReminderVersionNumber = 3.6;
const unsigned char VelkUpdateReminderVersionString[] =
    "@(#)PROGRAM:VelkUpdateReminder  PROJECT:VelkUpdateReminder-3.6\n";
}
