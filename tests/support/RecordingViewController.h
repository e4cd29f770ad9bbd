#pragma once

#include <any>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "appkit/AppKit.h"

namespace velktest {

// A view controller for the AppKit tests, registered as
// "RecordingViewController". It writes what happens to it into `events`
// ("viewDidLoad", "viewWillAppear", "close button", "windowWillClose", ...),
// serves `rows` to its table, whose columns are matched by title against
// `columnTitles`, and ends the modal loop from its close button action and
// from windowWillClose:, the way the reminder's dialog does.
class RecordingViewController : public appkit::ViewController, public appkit::TableViewDataSource {
 public:
  RecordingViewController() = default;
  explicit RecordingViewController(const appkit::Coder& coder);

  std::weak_ptr<appkit::TableView> table;
  std::weak_ptr<appkit::Button> closeButton;

  std::vector<std::string> events;
  std::vector<std::string> columnTitles;
  std::vector<std::vector<std::any>> rows;
  // The name and object of the last notification windowWillClose: got (the
  // object held weakly, as the window holds this controller).
  std::string lastNotificationName;
  std::weak_ptr<appkit::Object> lastNotificationObject;

  void viewDidLoad() override;
  void viewWillAppear() override;
  void viewDidAppear() override;
  void viewWillDisappear() override;

  void closeButton_actionPerformed(const std::any& sender);
  void windowWillClose(const appkit::Notification& notification);

  std::int64_t numberOfRows(appkit::TableView& tableView) override;
  std::any tableView(appkit::TableView& tableView,
                     const std::shared_ptr<appkit::TableColumn>& tableColumn,
                     std::int64_t row) override;
};

// A RecordingViewController whose view holds a table with `titles` and a close
// button ("Close", action "closeButton_actionPerformed:", target the
// controller), connected to its outlets, as a storyboard would make it.
std::shared_ptr<RecordingViewController> makeRecordingController(
    const std::vector<std::string>& titles);

}  // namespace velktest
