#pragma once

#include <memory>
#include <optional>
#include <string>

#include "VelkCommon/Logger.h"
#include "VelkUpdateReminder/VelkUpdateReminderExport.h"
#include "foundation/Date.h"
#include "foundation/DateComponents.h"

// One entry of the certificate history: the class, serial number, expiry date
// and recording time of a certificate read from the card, as text. A builder
// sets the four fields through the setters and then asks selfCheck() whether
// the record may be used. Records are shared: lists hold
// std::shared_ptr<VelkCertificateHistoryInfo> and hand out the same objects.
// Every operation logs through the record's own logger; none throws. The
// getters return references to the fields, valid while the record lives and
// the field is not set again.
class VELKUPDATEREMINDER_EXPORT VelkCertificateHistoryInfo {
 public:
  // An empty record: all four fields "". Writes no log line.
  VelkCertificateHistoryInfo();
  virtual ~VelkCertificateHistoryInfo();

  VelkCertificateHistoryInfo(const VelkCertificateHistoryInfo&) = delete;
  VelkCertificateHistoryInfo& operator=(const VelkCertificateHistoryInfo&) = delete;

  // True when both records have the same class and the same serial number
  // (exact text comparison); expiry and recording time are not compared.
  // False for a null `info`.
  virtual bool equals(const std::shared_ptr<VelkCertificateHistoryInfo>& info) const;
  // True only for the class codes "A" and "S", compared exactly.
  virtual bool isDcTypeString(const std::string& dcType) const;
  // True when the class is "A" or "S", the serial number is not empty, the
  // expiry parses as "yyyy-MM-dd" and the recording time as
  // "yyyy-MM-dd HH:mm:ss". Stops at the first failed check and returns false;
  // changes no field either way.
  virtual bool selfCheck() const;

  // Stores the text unchanged.
  virtual void setDcClass(const std::string& dcClass);
  virtual const std::string& getDcClass() const;
  // "利用者証明用" for class "A", "署名用" for "S", "" for anything else.
  virtual std::string getDcClassName() const;

  // Stores the text unchanged.
  virtual void setSerialNumber(const std::string& serialNumber);
  virtual const std::string& getSerialNumber() const;

  // Stores the date's "yyyy-MM-dd" rendering in the system time zone.
  virtual void setNotAfter(const foundation::Date& not_After);
  // Stores the "yyyy-MM-dd" rendering of the parsed date (zero-padded). When
  // the text does not parse, logs an error and stores the text unchanged.
  virtual void setNotAfter(const std::string& not_After);
  virtual const std::string& getNotAfter() const;
  // Midnight (system time zone) of the expiry day, or no date when the
  // expiry text is not in the form "yyyy-MM-dd".
  virtual std::optional<foundation::Date> getNotAfterDateFmt() const;

  // Stores the components rendered as "yyyy-MM-dd HH:mm:ss".
  virtual void setOpenTime(const foundation::DateComponents& timeDateComponent);
  // Stores the "yyyy-MM-dd HH:mm:ss" rendering of the parsed instant. When
  // the text does not parse, logs an error and stores "".
  virtual void setOpenTime(const std::string& timeString);
  virtual const std::string& getOpenTime() const;

 private:
  Logger log;

 public:
  // The four fields, readable and writable directly; the getters and setters
  // above are the logged way to them.
  std::string dcClass;
  std::string serialNumber;
  std::string notAfter;
  std::string openTime;
};
