#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "VelkCommon/Logger.h"
#include "VelkCommon/VelkLockController.h"
#include "VelkUpdateReminder/VelkCertificateHistoryInfo.h"
#include "VelkUpdateReminder/VelkUpdateReminderExport.h"
#include "foundation/DateComponents.h"

// The controller of the certificate history file "velk.dc_list", and at the
// same time the inter-process lock on "lockfile" beside it: callers take
// lock(time:) on the controller, read, change the in-memory list, save and
// unlock. No operation here takes or releases the lock itself.
//
// The history file is UTF-8 text: line 1 is the update-reminder setting ("1"
// or "0"), every further line one record "class,serial,yyyy-MM-dd,
// yyyy-MM-dd HH:mm:ss". Every line written ends in a line feed.
//
// Records are shared, never copied: the list holds shared pointers and every
// operation that returns records returns the list's own objects. Nothing
// throws; failures show as false or empty results and log lines.
class VELKUPDATEREMINDER_EXPORT VelkCertificateHistoryFileController : public VelkLockController {
 public:
  // The two orders of sort(sorttype:).
  enum class SORT_TYPE {
    // recording time, latest first
    SORT_OPEN_TIME,
    // expiry date, earliest first; equal dates by serial number, ascending
    SORT_NOT_AFTER,
  };

  using InfoPtr = std::shared_ptr<VelkCertificateHistoryInfo>;
  using InfoList = std::vector<InfoPtr>;

  // A controller on the history file and lock file of the application
  // directory, with an empty list and the setting off. Creates the
  // application directory when it is missing; when that fails the controller
  // is made all the same (with an error line) and later saves try again.
  VelkCertificateHistoryFileController();
  ~VelkCertificateHistoryFileController() override;

  // True when the history file's directory exists as a directory afterwards,
  // creating it (with missing parents) when nothing is there. False when a
  // non-directory stands there (nothing is created or removed) or creation
  // fails (the file system is left as the attempt left it).
  virtual bool createDirectry();

  // True when anything (a directory too) exists at the history file's path.
  virtual bool isExists();

  // Sets the setting off and saves; the result of saveFile(). On a new
  // controller the file then holds exactly "0\n".
  virtual bool createNewCertificateFile();

  // Empties the list, then reads the whole history file as UTF-8 text: line 1
  // sets isUpdate ("1" only is true; an empty line 1 ends reading with no
  // records), later lines become records through readExpirationInfo(line:),
  // invalid ones skipped, until `varidReadRowCount` records are taken (the
  // first record line is always examined, so 0 or less takes at most one).
  // Returns true then. Returns false when the file cannot be read or is not
  // valid UTF-8; the list is empty and the setting unchanged then.
  virtual bool readFile(std::int64_t varidReadRowCount);

  // The setting as last read, created or set; the file is not read.
  virtual bool isUpdateSetting();

  // The record of one record line (without its line end): four comma
  // separated fields, untrimmed, that pass the record's selfCheck().
  // Returns nullptr when the line has another number of fields or the record
  // is not valid.
  virtual InfoPtr readExpirationInfo(const std::string& line);

  // The first record of the list for the same certificate as `compareInfo`
  // (equals(info:)), the list's own object; nullptr when there is none.
  virtual InfoPtr existSameCirtificateFile(const InfoPtr& compareInfo);

  // Overwrites the four fields of `oldInfo` with those of `newInfo` (class,
  // expiry, serial number, recording time, through the setters). `oldInfo`
  // keeps its place; `newInfo` does not enter the list. Does nothing when
  // either is null.
  virtual void updateCirtificateFile(const InfoPtr& oldInfo, const InfoPtr& newInfo);

  // Appends `info` itself (not a copy) to the list; a null `info` is ignored.
  virtual void addCirtificateFile(InfoPtr info);

  // Writes the setting line and one line per record, in list order, each
  // followed by a line feed, to the history file in one write, in place
  // (created when missing, truncated otherwise). Returns true when the whole
  // text was written. Returns false when the directory cannot be made (the
  // file is untouched) or the write fails (the file holds what the failed
  // write left). List and setting are unchanged either way.
  virtual bool saveFile();

  // Reorders the list with a stable sort in the given order.
  virtual void sort(SORT_TYPE sorttype);

  // Removes the last record; does nothing to an empty list.
  virtual void removeTailData();

  // The list itself: shared pointers to the list's records, in list order.
  virtual InfoList getCertificateHistoryInfoList();

  // The records, in list order, whose expiry day lies between the start of
  // `systemDate`'s day and `month` calendar months later, both ends included
  // (the window start is the expiry day moved back by `month` months, clamped
  // to the month's end). Empty when `systemDate` names no day; records whose
  // expiry cannot be read as a date are skipped.
  virtual InfoList getNotAfterList(const foundation::DateComponents& systemDate,
                                   std::int64_t month);

  // Sets the update-reminder setting that the next saveFile() writes.
  virtual void setUpdateSetting(bool isUpdate);

  // Removes every record for the same certificate as any member of
  // `infoList`; the others keep their order.
  virtual void removeSameData(const InfoList& infoList);

  // The records, in list order, whose expiry day lies strictly before the
  // start of `baseDate`'s day. Empty when `baseDate` names no day; records
  // whose expiry cannot be read as a date are skipped.
  virtual InfoList getNotAfterCheck(const foundation::DateComponents& baseDate);

 private:
  // Copies of the list, stably sorted by recording time (latest first) and by
  // expiry date then serial number (earliest, lowest first).
  virtual InfoList sortOpenTime();
  virtual InfoList sortNotAfter();

  Logger log;
  bool isUpdate = false;
  InfoList certificateHistoryInfoList;
  std::string filepathHist;
};
