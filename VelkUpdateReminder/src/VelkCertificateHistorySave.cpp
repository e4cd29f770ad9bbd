#include "VelkUpdateReminder/VelkCertificateHistorySave.h"

#include "CaughtException.h"

#include <exception>
#include <optional>
#include <string_view>

#include "VelkCommon/LogCaller.h"
#include "VelkCommon/LogFilePrefix.h"
#include "VelkCommon/Logger.h"
#include "VelkCommon/VelkException.h"
#include "VelkCommon/VelkHexUtility.h"
#include "VelkCommon/VelkLog.h"
#include "VelkUpdateReminder/VelkCertificateHistoryFileController.h"
#include "VelkUpdateReminder/VelkCertificateHistoryInfo.h"
#include "VelkUpdateReminder/VelkUpdateReminderCommon.h"
#include "VelkUserCertService/VelkX509Certificate.h"
#include "foundation/Date.h"

namespace {

using Controller = VelkCertificateHistoryFileController;

constexpr std::string_view kSaveFile = "saveFile(dcClass:dcInfo:)";
constexpr std::string_view kSaveFileEnd = " *** saveFile(dcClass:String ,dcInfo:[Int8])  END *** ";
constexpr std::string_view kGetInfo = "getCertificateHistoryInfo(dcClass:dcInfo:)";
constexpr std::string_view kGetInfoEnd =
    " *** getCertificateHistoryInfo(dcClass:String, dcInfo:[Int8]) -> "
    "VelkCertificateHistoryInfo?  END *** ";

LogCaller caller() { return LogCaller::of<VelkCertificateHistorySave>(); }

// Releases the controller's lock when it goes, so that no path out of a
// recording (an exception included) leaves the lock held; reset() releases
// it at the point where the recording says so.
struct Unlock {
  void operator()(Controller* controller) const { controller->unlock(); }
};
using HeldLock = std::unique_ptr<Controller, Unlock>;

}  // namespace

const Logger& VelkCertificateHistorySave::log() {
  // Initialised exactly once even when several threads arrive together.
  static const Logger logger = VelkLog::getLogger(LogFilePrefix::VELK_UPDATE_REMINDER);
  return logger;
}

void VelkCertificateHistorySave::saveFile(const std::string& dcClass,
                                          const std::vector<std::int8_t>& dcInfo) {
  log().debug(" *** saveFile(dcClass:String ,dcInfo:[Int8])  START *** ", caller(), kSaveFile);
  try {
    const std::shared_ptr<VelkCertificateHistoryInfo> info =
        getCertificateHistoryInfo(dcClass, dcInfo);
    if (!info) {
      log().error(" *** data read error *** ", caller(), kSaveFile);
      log().debug(kSaveFileEnd, caller(), kSaveFile);
      return;
    }

    Controller controller;
    if (!controller.lock(VelkUpdateReminderCommon::PROCCESS_LOCL_WAIT)) {
      log().error(" *** lock error *** ", caller(), kSaveFile);
      log().debug(kSaveFileEnd, caller(), kSaveFile);
      return;
    }
    HeldLock held(&controller);

    if (!controller.isExists() && !controller.createNewCertificateFile()) {
      log().error(" *** createNewCertificateFile error : file write error *** ", caller(),
                  kSaveFile);
      held.reset();
      log().debug(kSaveFileEnd, caller(), kSaveFile);
      return;
    }
    if (!controller.readFile(VelkUpdateReminderCommon::HISTORY_MAX_COUNT)) {
      log().error(" *** readFile error : file read error *** ", caller(), kSaveFile);
      held.reset();
      log().debug(kSaveFileEnd, caller(), kSaveFile);
      return;
    }

    // The same certificate takes over the new fields in its place; a new
    // one joins the list.
    if (const auto same = controller.existSameCirtificateFile(info)) {
      controller.updateCirtificateFile(same, info);
    } else {
      controller.addCirtificateFile(info);
    }
    controller.sort(Controller::SORT_TYPE::SORT_OPEN_TIME);
    controller.removeSameData(
        controller.getNotAfterCheck(VelkUpdateReminderCommon::getSystemDate()));
    // Sorted latest first, so the tail holds the oldest recordings.
    while (controller.getCertificateHistoryInfoList().size() >
           static_cast<std::size_t>(VelkUpdateReminderCommon::HISTORY_MAX_COUNT)) {
      controller.removeTailData();
    }

    if (!controller.saveFile()) {
      log().debug(" *** file write error *** ", caller(), kSaveFile);
    }
    held.reset();
  } catch (...) {
    // Whatever still escapes (running out of memory) ends the recording
    // here; the lock went with `held`.
    CaughtException::log(log(), caller(), kSaveFile);
  }
  log().debug(kSaveFileEnd, caller(), kSaveFile);
}

std::shared_ptr<VelkCertificateHistoryInfo> VelkCertificateHistorySave::getCertificateHistoryInfo(
    const std::string& dcClass, const std::vector<std::int8_t>& dcInfo) {
  log().debug(
      " *** getCertificateHistoryInfo(dcClass:String, dcInfo:[Int8]) -> "
      "VelkCertificateHistoryInfo?  START *** ",
      caller(), kGetInfo);
  auto info = std::make_shared<VelkCertificateHistoryInfo>();
  info->setDcClass(dcClass);
  {
    // The certificate is needed only until its values are in the record.
    std::optional<VelkX509Certificate> certificate;
    try {
      certificate.emplace(dcInfo);
    } catch (...) {
      log().error(" *** an exception occurred *** ", caller(), kGetInfo);
      CaughtException::log(log(), caller(), kGetInfo);
      log().debug(kGetInfoEnd, caller(), kGetInfo);
      return nullptr;
    }

    const std::optional<foundation::Date> notAfter = certificate->getNotAfter();
    if (!notAfter) {
      log().error(" *** getNotAfter() failed *** ", caller(), kGetInfo);
      log().debug(kGetInfoEnd, caller(), kGetInfo);
      return nullptr;
    }
    info->setNotAfter(*notAfter);

    const std::optional<std::vector<std::int8_t>> serialNumber = certificate->getSerialNumber();
    if (!serialNumber) {
      log().error(" *** getSerialNumber() failed *** ", caller(), kGetInfo);
      log().debug(kGetInfoEnd, caller(), kGetInfo);
      return nullptr;
    }
    info->setSerialNumber(VelkHexUtility::toHexString(*serialNumber));
  }
  info->setOpenTime(VelkUpdateReminderCommon::getSystemDate());

  if (info->selfCheck()) {
    log().debug(" *** self check OK! *** ", caller(), kGetInfo);
    log().debug(kGetInfoEnd, caller(), kGetInfo);
    return info;
  }
  log().error(" *** self check NG! *** ", caller(), kGetInfo);
  log().debug(kGetInfoEnd, caller(), kGetInfo);
  return nullptr;
}
