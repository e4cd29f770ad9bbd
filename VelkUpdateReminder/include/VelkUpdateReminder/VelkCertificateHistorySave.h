#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "VelkUpdateReminder/VelkUpdateReminderExport.h"

class Logger;
class VelkCertificateHistoryInfo;

// Records a certificate read from the card in the certificate history. Only
// static members; never instantiated. Every line goes through one class
// logger, fetched once on first use.
class VELKUPDATEREMINDER_EXPORT VelkCertificateHistorySave {
 public:
  VelkCertificateHistorySave() = delete;

  // Parses `dcInfo` (a DER-encoded X.509 certificate) and merges a record of
  // class `dcClass` ("A" or "S"), its serial number, expiry day and the
  // current time into the history file, under the inter-process lock: a
  // record of the same class and serial number is updated in place,
  // otherwise the record is added; then the list is ordered latest recording
  // first, records that expired before today are dropped, only the
  // HISTORY_MAX_COUNT most recent are kept, and the file is written back
  // (created with the setting "0" when missing).
  //
  // Reports nothing and never throws; outcomes show in the file and the log.
  // When the record cannot be built (the certificate does not parse, or the
  // class is refused) neither the lock file nor the history file is touched.
  // When the lock is not obtained within PROCCESS_LOCL_WAIT, the history is
  // untouched. When reading or writing the history fails, the lock is
  // released and the file is left as the failed step left it.
  static void saveFile(const std::string& dcClass, const std::vector<std::int8_t>& dcInfo);

 private:
  // The record of the certificate: class `dcClass`, the serial number as
  // upper-case hexadecimal text, the expiry day and the current time.
  // Returns the record once it has passed its self-check; nullptr (with error
  // lines) when the parser refuses `dcInfo`, gives no expiry or serial
  // number, or the record is not valid.
  static std::shared_ptr<VelkCertificateHistoryInfo> getCertificateHistoryInfo(
      const std::string& dcClass, const std::vector<std::int8_t>& dcInfo);

  // The class logger, fetched on the first call (from any thread) and kept
  // for the life of the process.
  static const Logger& log();
};
