#pragma once

// Umbrella header: every public class of the framework and what its
// signatures use.
#include "VelkCommon/VelkCommon.h"
#include "VelkUpdateReminder/VelkCertificateHistoryFileController.h"
#include "VelkUpdateReminder/VelkCertificateHistoryInfo.h"
#include "VelkUpdateReminder/VelkCertificateHistorySave.h"
#include "VelkUpdateReminder/VelkUpdateReminderCommon.h"
#include "VelkUpdateReminder/VelkUpdateReminderDialog.h"
#include "VelkUpdateReminder/VelkUpdateReminderVersion.h"
#include "foundation/Foundation.h"
