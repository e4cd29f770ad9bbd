#include "support/RecordingViewController.h"

namespace velktest {

namespace {

using Builder = appkit::ClassBuilder<RecordingViewController, appkit::ViewController>;

void describe(Builder& cls) {
  cls.method("closeButton_actionPerformed:", &RecordingViewController::closeButton_actionPerformed)
      .method("windowWillClose:", &RecordingViewController::windowWillClose)
      .outlet("table", &RecordingViewController::table)
      .outlet("closeButton", &RecordingViewController::closeButton);
}

[[maybe_unused]] const bool registered = Builder::define("RecordingViewController", describe);

}  // namespace

RecordingViewController::RecordingViewController(const appkit::Coder& coder)
    : appkit::ViewController(coder) {
  events.emplace_back("init(coder:)");
}

void RecordingViewController::viewDidLoad() {
  ViewController::viewDidLoad();
  events.emplace_back(table.lock() ? "viewDidLoad with table" : "viewDidLoad");
  if (auto tableView = table.lock()) {
    tableView->setDelegate(sharedAs<appkit::Object>());
    tableView->setDataSource(sharedAs<appkit::TableViewDataSource>());
  }
}

void RecordingViewController::viewWillAppear() {
  ViewController::viewWillAppear();
  events.emplace_back("viewWillAppear");
}

void RecordingViewController::viewDidAppear() {
  ViewController::viewDidAppear();
  events.emplace_back("viewDidAppear");
  if (auto window = view()->window()) {
    window->setDelegate(sharedAs<appkit::Object>());
  }
}

void RecordingViewController::viewWillDisappear() {
  ViewController::viewWillDisappear();
  events.emplace_back("viewWillDisappear");
}

void RecordingViewController::closeButton_actionPerformed(const std::any& /*sender*/) {
  events.emplace_back("close button");
  appkit::Application::shared().stopModal();
}

void RecordingViewController::windowWillClose(const appkit::Notification& notification) {
  events.emplace_back("windowWillClose");
  lastNotificationName = notification.name();
  lastNotificationObject = notification.object();
  appkit::Application::shared().stopModal();
}

std::int64_t RecordingViewController::numberOfRows(appkit::TableView& /*tableView*/) {
  return static_cast<std::int64_t>(rows.size());
}

std::any RecordingViewController::tableView(appkit::TableView& /*tableView*/,
                                            const std::shared_ptr<appkit::TableColumn>& tableColumn,
                                            std::int64_t row) {
  for (std::size_t i = 0; tableColumn && i < columnTitles.size(); ++i) {
    if (columnTitles[i] == tableColumn->title() && i < rows.at(row).size()) {
      return rows.at(row)[i];
    }
  }
  return 0;
}

std::shared_ptr<RecordingViewController> makeRecordingController(
    const std::vector<std::string>& titles) {
  auto controller = std::make_shared<RecordingViewController>();
  auto root = std::make_shared<appkit::View>();
  auto tableView = std::make_shared<appkit::TableView>();
  for (const auto& title : titles) {
    auto column = std::make_shared<appkit::TableColumn>();
    column->setTitle(title);
    tableView->addTableColumn(column);
  }
  auto button = std::make_shared<appkit::Button>();
  button->setTitle("Close");
  button->setAction("closeButton_actionPerformed:");
  button->setTarget(controller);
  root->addSubview(tableView);
  root->addSubview(button);
  controller->columnTitles = titles;
  controller->setViewLoader([root, tableView, button](appkit::ViewController& owner) {
    owner.performSelector("setTable:", std::any(std::shared_ptr<appkit::Object>(tableView)));
    owner.performSelector("setCloseButton:", std::any(std::shared_ptr<appkit::Object>(button)));
    return root;
  });
  return controller;
}

}  // namespace velktest
