#include "VelkUpdateReminder/VelkUpdateReminderDialog.h"

#include "CaughtException.h"

#include <algorithm>
#include <cstddef>
#include <typeinfo>
#include <utility>

#include "VelkCommon/LogFilePrefix.h"
#include "VelkCommon/VelkLog.h"
#include "VelkCommon/VelkString.h"
#include "VelkUpdateReminder/VelkUpdateReminderCommon.h"
#include "appkit/Application.h"
#include "appkit/Class.h"
#include "appkit/Event.h"
#include "appkit/Storyboard.h"
#include "appkit/View.h"
#include "appkit/Window.h"
#include "appkit/WindowController.h"

namespace {

using Dialog = VelkUpdateReminderDialog;

Dialog& dialog(appkit::Object& object) { return dynamic_cast<Dialog&>(object); }

// The outlets, the close button's action, the window delegate's and the table
// data source's selectors.
appkit::Class::Methods methods() {
  appkit::Class::Methods methods = {
      {"closeButton_actionPerformed:",
       [](appkit::Object& self, const std::any& sender) -> std::any {
         dialog(self).closeButton_actionPerformed(sender);
         return {};
       }},
      {"windowWillClose:",
       [](appkit::Object& self, const std::any& notification) -> std::any {
         if (const auto* sent = std::any_cast<appkit::Notification>(&notification)) {
           dialog(self).windowWillClose(*sent);
         }
         return {};
       }},
      {"numberOfRowsInTableView:",
       [](appkit::Object& self, const std::any& table) -> std::any {
         return dialog(self).numberOfRows(
             *std::any_cast<std::shared_ptr<appkit::TableView>>(table));
       }},
      {"tableView:objectValueForTableColumn:row:",
       [](appkit::Object& self, const std::any& request) -> std::any {
         const auto& cell = std::any_cast<const appkit::TableView::CellRequest&>(request);
         return dialog(self).tableView(*cell.tableView, cell.tableColumn, cell.row);
       }},
  };
  appkit::Class::outlet(methods, "table", &Dialog::table);
  appkit::Class::outlet(methods, "closeButton", &Dialog::closeButton);
  return methods;
}

const bool registered = appkit::Class::define<Dialog>("VelkUpdateReminderDialog", methods);

// The value of a text of ASCII decimal digits; nothing for any other text.
std::optional<std::int64_t> decimalValue(const std::string& text) {
  if (text.empty() ||
      !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    return std::nullopt;
  }
  std::int64_t value = 0;
  for (const char c : text) {
    value = value * 10 + (c - '0');
  }
  return value;
}

// "04" gives "4"; "10" stays "10".
std::string withoutLeadingZero(const std::string& text) {
  return text.starts_with("0") ? substring(text, 1, 2) : text;
}

}  // namespace

VelkUpdateReminderDialog::InfoList VelkUpdateReminderDialog::hList;

// Nib files are not read: the view comes from the storyboard.
VelkUpdateReminderDialog::VelkUpdateReminderDialog(
    const std::optional<std::string>& /*nibNameOrNil*/,
    const std::shared_ptr<appkit::Bundle>& /*nibBundleOrNil*/)
    : log(VelkLog::getLogger(LogFilePrefix::VELK_UPDATE_REMINDER)) {}

VelkUpdateReminderDialog::VelkUpdateReminderDialog(const appkit::Coder& coder)
    : appkit::ViewController(coder), log(VelkLog::getLogger(LogFilePrefix::VELK_UPDATE_REMINDER)) {}

// The key monitor, if still installed, is not removed here: it holds this
// controller until viewWillDisappear() removes it.
VelkUpdateReminderDialog::~VelkUpdateReminderDialog() = default;

std::vector<std::string> VelkUpdateReminderDialog::convertDispInfo(const InfoPtr& info) {
  static constexpr const char* kOperation = "convertDispInfo(info:)";
  log.debug(" *** convertDispInfo(info:VelkCertificateHistoryInfo) -> String  START *** ", this,
            kOperation);
  std::vector<std::string> texts(3);
  if (info != nullptr) {
    texts[0] = info->getDcClassName();
    texts[1] = info->getSerialNumber();
    const std::string& notAfter = info->getNotAfter();
    texts[2] = ChangeWareki(notAfter);
  }
  log.debug(" *** onvertDispInfo(info:VelkCertificateHistoryInfo) -> String  END *** ", this,
            kOperation);
  return texts;
}

std::string VelkUpdateReminderDialog::ChangeWareki(const std::string& strDate) {
  static constexpr const char* kOperation = "ChangeWareki(strDate:)";
  log.debug(" *** ChangeWareki(String strDate) -> String  START *** ", this, kOperation);
  const std::string yearText = substring(strDate, 0, 4);
  const std::string monthText = substring(strDate, 5, 7);
  const std::string dayText = substring(strDate, 8, 10);
  const std::optional<std::int64_t> key = decimalValue(yearText + monthText + dayText);
  if (yearText.size() != 4 || monthText.size() != 2 || dayText.size() != 2 || !key) {
    log.error(" *** not a date: " + strDate + " *** ", this, kOperation);
    log.debug(" *** ChangeWareki(String strDate) -> String  END *** ", this, kOperation);
    return {};
  }
  const std::int64_t year = *decimalValue(yearText);

  std::string era;
  std::int64_t eraYear = 0;
  if (*key < 19120730) {
    era = "明治";
    eraYear = year - 1867;
  } else if (*key < 19261225) {
    era = "大正";
    eraYear = year - 1911;
  } else if (*key < 19890108) {
    era = "昭和";
    eraYear = year - 1925;
  } else if (*key <= 20190430) {
    era = "平成";
    eraYear = year - 1988;
  } else {
    era = "令和";
    eraYear = year - 2018;
  }
  const std::string eraYearText = eraYear == 1 ? "元" : std::to_string(eraYear);
  std::string result = era + eraYearText + "年" + withoutLeadingZero(monthText) + "月" +
                       withoutLeadingZero(dayText) + "日";
  log.debug(" *** ChangeWareki(String strDate) -> String  END *** ", this, kOperation);
  return result;
}

void VelkUpdateReminderDialog::windowWillClose(const appkit::Notification& /*notification*/) {
  appkit::Application::shared().stopModal();
}

std::int64_t VelkUpdateReminderDialog::numberOfRows(appkit::TableView& /*tableView*/) {
  return static_cast<std::int64_t>(hList.size());
}

std::any VelkUpdateReminderDialog::tableView(
    appkit::TableView& /*tableView*/, const std::shared_ptr<appkit::TableColumn>& tableColumn,
    std::int64_t row) {
  if (row < 0 || static_cast<std::size_t>(row) >= hList.size()) {
    return {};
  }
  const std::vector<std::string> texts = convertDispInfo(hList[static_cast<std::size_t>(row)]);
  const std::string title = tableColumn != nullptr ? tableColumn->title() : std::string();
  if (title == "種別") {
    return texts[0];
  }
  if (title == "シリアル番号") {
    return texts[1];
  }
  if (title == "有効期限の満了日") {
    return texts[2];
  }
  return 0;
}

void VelkUpdateReminderDialog::alert() {
  static constexpr const char* kOperation = "alert()";
  log.debug(" *** alert()  START *** ", this, kOperation);
  try {
    VelkCertificateHistoryFileController fileController;
    if (const auto runDate = selectExpiringCertificates(fileController)) {
      // The lock is not held while the window is on screen.
      fileController.unlock();
      if (showReminderWindow()) {
        removeShownCertificates(fileController, *runDate);
      }
    }
    fileController.unlock();
  } catch (...) {
    // Nothing leaves the framework (running out of memory ends the reminder
    // here); the lock went with the controller.
    CaughtException::log(log, this, kOperation);
  }
  log.debug(" *** alert()  END *** ", this, kOperation);
}

std::optional<foundation::DateComponents> VelkUpdateReminderDialog::selectExpiringCertificates(
    VelkCertificateHistoryFileController& fileController) {
  static constexpr const char* kOperation = "alert()";
  if (!fileController.lock(VelkUpdateReminderCommon::PROCCESS_LOCL_WAIT)) {
    log.debug(" *** lock1 error *** ", this, kOperation);
    return std::nullopt;
  }
  if (!fileController.isExists()) {
    log.error(" *** file not found *** ", this, kOperation);
    return std::nullopt;
  }
  if (!fileController.readFile(VelkUpdateReminderCommon::HISTORY_MAX_COUNT)) {
    log.debug(" *** file read error *** ", this, kOperation);
    return std::nullopt;
  }
  if (!fileController.isUpdateSetting()) {
    log.error(" *** not update setting *** ", this, kOperation);
    return std::nullopt;
  }
  const foundation::DateComponents runDate = VelkUpdateReminderCommon::getSystemDate();
  fileController.sort(VelkCertificateHistoryFileController::SORT_TYPE::SORT_NOT_AFTER);
  hList = fileController.getNotAfterList(runDate, VelkUpdateReminderCommon::NOT_AFTER_LIMIT_MONTH);
  if (hList.empty()) {
    log.debug(" *** non limit Certificate *** ", this, kOperation);
    return std::nullopt;
  }
  return runDate;
}

bool VelkUpdateReminderDialog::showReminderWindow() {
  static constexpr const char* kOperation = "alert()";
  auto storyboard = appkit::Storyboard::storyboardWithName("VelkUpdateReminder", frameworkBundle());
  auto windowController = std::dynamic_pointer_cast<appkit::WindowController>(
      storyboard != nullptr ? storyboard->instantiateInitialController() : nullptr);
  if (windowController == nullptr) {
    log.fatal("alert() failed to instantiate WindowController", this, kOperation);
    return false;
  }
  auto viewController = windowController->contentViewController();
  if (viewController == nullptr) {
    log.fatal("alert() the WindowController has invalid ViewController", this, kOperation);
    return false;
  }
  auto window = appkit::Window::windowWithContentViewController(viewController);
  window->setStyleMask(appkit::WindowStyleMaskTitled | appkit::WindowStyleMaskClosable);
  const appkit::ModalResponse response = appkit::Application::shared().runModalForWindow(window);
  // Released on return: the window leaves the screen.
  if (response == appkit::ModalResponseAbort) {
    // No input could reach the window (no event source, or a terminal that
    // cannot be used): nobody saw the certificates, so they stay.
    log.error(" *** no input for the window *** ", this, kOperation);
    return false;
  }
  return true;
}

void VelkUpdateReminderDialog::removeShownCertificates(
    VelkCertificateHistoryFileController& fileController,
    const foundation::DateComponents& runDate) {
  static constexpr const char* kOperation = "alert()";
  if (!fileController.lock(VelkUpdateReminderCommon::PROCCESS_LOCL_WAIT)) {
    log.error(" *** lock2 error *** ", this, kOperation);
    return;
  }
  // Read afresh: other processes may have recorded certificates meanwhile.
  // A failed read leaves the list empty, so nothing may be written then.
  if (!fileController.readFile(VelkUpdateReminderCommon::HISTORY_MAX_COUNT)) {
    log.debug(" *** file read error *** ", this, kOperation);
    return;
  }
  fileController.sort(VelkCertificateHistoryFileController::SORT_TYPE::SORT_NOT_AFTER);
  InfoList removal = fileController.getNotAfterCheck(runDate);
  removal.insert(removal.end(), hList.begin(), hList.end());
  fileController.removeSameData(removal);
  if (!fileController.saveFile()) {
    log.error(" *** file write error *** ", this, kOperation);
  }
}

void VelkUpdateReminderDialog::viewDidLoad() {
  static constexpr const char* kOperation = "viewDidLoad()";
  log.debug(" *** viewDidLoad()  START *** ", this, kOperation);
  appkit::ViewController::viewDidLoad();
  if (auto tableView = table.lock()) {
    tableView->setDelegate(sharedAs<appkit::Object>());
    tableView->setDataSource(sharedAs<appkit::Object>());
  }
  log.debug(" *** viewDidLoad()  END *** ", this, kOperation);
}

void VelkUpdateReminderDialog::viewWillAppear() {
  appkit::ViewController::viewWillAppear();
  appkit::Application& application = appkit::Application::shared();
  if (hList.empty()) {
    application.terminate(std::shared_ptr<appkit::Object>(application.keyWindow()));
  }
  if (auto button = closeButton.lock()) {
    button->setAccessibilityFocused(true);
    button->setNextKeyView(button);
  }
  // Option+C in this controller's key window presses the close button; the
  // handler keeps the controller until viewWillDisappear() removes it.
  auto self = sharedAs<VelkUpdateReminderDialog>();
  if (self == nullptr) {
    return;  // not owned by a std::shared_ptr: nothing could keep it for the handler
  }
  monitor = appkit::Event::addLocalMonitorForEventsMatchingMask(
      appkit::EventMaskKeyDown, [self](const appkit::Event& event) -> std::optional<appkit::Event> {
        auto window = self->view()->window();
        if (window == nullptr) {
          return event;
        }
        auto button = self->closeButton.lock();
        if (window->isKeyWindow() &&
            (event.modifierFlags() & appkit::EventModifierFlagOption) != 0 &&
            event.charactersIgnoringModifiers() == "c" && button != nullptr && button->action()) {
          self->doCommandBySelector(*button->action());
          return std::nullopt;
        }
        return event;
      });
}

void VelkUpdateReminderDialog::viewDidAppear() {
  appkit::ViewController::viewDidAppear();
  if (auto window = view()->window()) {
    window->setDelegate(sharedAs<appkit::Object>());
  }
}

void VelkUpdateReminderDialog::viewWillDisappear() {
  appkit::ViewController::viewWillDisappear();
  if (monitor.has_value()) {
    appkit::Event::removeMonitor(monitor);
  }
}

std::any VelkUpdateReminderDialog::representedObject() const {
  return appkit::ViewController::representedObject();
}

void VelkUpdateReminderDialog::setRepresentedObject(std::any object) {
  appkit::ViewController::setRepresentedObject(std::move(object));
}

void VelkUpdateReminderDialog::closeButton_actionPerformed(const std::any& /*sender*/) {
  appkit::Application::shared().stopModal();
}

std::shared_ptr<appkit::Bundle> VelkUpdateReminderDialog::frameworkBundle() const {
  return appkit::Bundle::forClass(typeid(VelkUpdateReminderDialog));
}
