#pragma once

#include <any>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "VelkCommon/Logger.h"
#include "VelkUpdateReminder/VelkCertificateHistoryFileController.h"
#include "VelkUpdateReminder/VelkCertificateHistoryInfo.h"
#include "VelkUpdateReminder/VelkUpdateReminderExport.h"
#include "appkit/Bundle.h"
#include "appkit/Button.h"
#include "appkit/Coder.h"
#include "appkit/Notification.h"
#include "appkit/TableColumn.h"
#include "appkit/TableView.h"
#include "appkit/ViewController.h"
#include "foundation/DateComponents.h"

// The reminder: the entry point alert(), which shows the certificates that
// expire soon in a modal window built from the storyboard "VelkUpdateReminder"
// and then drops them from the history, and the view controller of that
// window, which lists them in its table (class, serial number, expiry date in
// the Japanese era calendar) and ends the modal loop from its close button,
// from Option+C and when its window closes.
//
// Registered by name as "VelkUpdateReminderDialog" with the selectors "table",
// "setTable:", "closeButton", "setCloseButton:", "closeButton_actionPerformed:",
// "windowWillClose:" (argument: an appkit::Notification) and the table's
// data source selectors "numberOfRowsInTableView:" and
// "tableView:objectValueForTableColumn:row:" (see appkit::TableView). Used on
// the main thread only; nothing here throws.
class VELKUPDATEREMINDER_EXPORT VelkUpdateReminderDialog : public appkit::ViewController {
 public:
  using InfoPtr = std::shared_ptr<VelkCertificateHistoryInfo>;
  using InfoList = std::vector<InfoPtr>;

  // The certificates the reminder window shows, row n showing hList[n]. Set by
  // each alert() that gets as far as selecting them (possibly to an empty
  // list) and kept afterwards; read by the table. Main thread only.
  static InfoList hList;

  // An instance for calling alert(): its logger set, no outlets, no monitor.
  VelkUpdateReminderDialog(const std::optional<std::string>& nibNameOrNil,
                           const std::shared_ptr<appkit::Bundle>& nibBundleOrNil);
  // What the storyboard makes; the same, with the archive's values.
  explicit VelkUpdateReminderDialog(const appkit::Coder& coder);
  ~VelkUpdateReminderDialog() override;

  // The three texts of a table row for `info`: the class's display name
  // ("" for an unknown class), the serial number and the expiry date in era
  // form (ChangeWareki(strDate:)). Three empty texts for a null `info`.
  virtual std::vector<std::string> convertDispInfo(const InfoPtr& info);

  // A "yyyy-MM-dd" date (anything after the tenth character is ignored) in
  // the Japanese era calendar, e.g. "2019-05-01" gives "令和元年5月1日":
  // era name, year of the era ("元" for 1), "年", month, "月", day, "日",
  // without leading zeros. Month and day are not checked: "2023-13-99" gives
  // "令和5年13月99日". Positions count characters as substring() does, so
  // a multi-byte separator is one character ("2023年04月01" gives
  // "令和5年4月1日"). Returns "" (with an error line) when the year, month
  // or day positions do not all hold ASCII decimal digits, as for a text
  // shorter than ten characters.
  virtual std::string ChangeWareki(const std::string& strDate);

  // The window is closing (title bar): ends the modal loop.
  virtual void windowWillClose(const appkit::Notification& notification);

  // The number of records in hList.
  virtual std::int64_t numberOfRows(appkit::TableView& tableView);

  // The cell of `tableColumn` at `row`: for the column titled "種別",
  // "シリアル番号" or "有効期限の満了日" the class name, serial number or era
  // date of hList[row] (a std::string); the integer 0 for another title or no
  // column; nothing (an empty any) for a row outside hList.
  virtual std::any tableView(appkit::TableView& tableView,
                             const std::shared_ptr<appkit::TableColumn>& tableColumn,
                             std::int64_t row);

  // The reminder. Under the history's lock: reads the history file and, when
  // its setting is on, sets hList to the records that expire within three
  // months of today, earliest first. When there are any, releases the lock,
  // shows them in a modal window from the storyboard and waits until it is
  // dismissed; then, under the lock again, reads the file afresh, removes the
  // shown records and those expired before the run's date, and writes it.
  // Every outcome is only logged; the lock is released on every path. When
  // the file is missing, unreadable (either read), the setting is off,
  // nothing expires soon, the storyboard yields no window, the modal loop
  // ends for want of any input (no event backend, unusable terminal) or the
  // lock cannot be taken, nothing is written; a failed write leaves the file
  // as the write left it.
  virtual void alert();

  // Makes this the table's delegate and data source.
  void viewDidLoad() override;
  // Ends the process (terminate) when hList is empty. Otherwise puts keyboard
  // focus on the close button and installs the key monitor: Option+C (any
  // other modifiers too, but not Shift, which makes it "C") in this
  // controller's key window sends the close button's action and is
  // swallowed; other keys, or Option+C without a close button action, pass
  // on.
  void viewWillAppear() override;
  // Becomes the window's delegate.
  void viewDidAppear() override;
  // Removes the key monitor, when one was installed.
  void viewWillDisappear() override;

  std::any representedObject() const override;
  void setRepresentedObject(std::any object) override;

  // The close button's action: ends the modal loop.
  void closeButton_actionPerformed(const std::any& sender);

 protected:
  // The bundle whose "VelkUpdateReminder" storyboard alert() shows: the
  // framework's own (the bundle of this class's library).
  virtual std::shared_ptr<appkit::Bundle> frameworkBundle() const;

 private:
  // The steps of alert(). Under the lock taken here: reads the history and
  // selects hList; returns the run's date when there is something to show,
  // nothing (after its log line) otherwise.
  std::optional<foundation::DateComponents> selectExpiringCertificates(
      VelkCertificateHistoryFileController& fileController);
  // Shows hList in the storyboard's window until the modal loop ends. False
  // (after a fatal line) when the storyboard yields no window, or (after an
  // error line) when the loop ended because no input could come.
  bool showReminderWindow();
  // Under the lock taken here: reads the history afresh, drops the shown
  // certificates and those expired before `runDate`, and writes it.
  void removeShownCertificates(VelkCertificateHistoryFileController& fileController,
                               const foundation::DateComponents& runDate);

  Logger log;

 public:
  // Outlets, set by the storyboard.
  std::weak_ptr<appkit::TableView> table;
  std::weak_ptr<appkit::Button> closeButton;

 private:
  // The token of the key-down monitor once one is installed.
  std::any monitor;
};
