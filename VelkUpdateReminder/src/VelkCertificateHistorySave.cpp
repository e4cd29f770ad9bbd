#include "VelkUpdateReminder/VelkCertificateHistorySave.h"

#include "CaughtException.h"
#include "EndLine.h"

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
constexpr std::string_view kGetInfo = "getCertificateHistoryInfo(dcClass:dcInfo:)";

LogCaller caller() { return LogCaller::of<VelkCertificateHistorySave>(); }

}  // namespace

const Logger& VelkCertificateHistorySave::log() {
  // Initialised exactly once even when several threads arrive together.
  static const Logger logger = VelkLog::getLogger(LogFilePrefix::VELK_UPDATE_REMINDER);
  return logger;
}

void VelkCertificateHistorySave::saveFile(const std::string& dcClass,
                                          const std::vector<std::int8_t>& dcInfo) {
  log().debug(" *** saveFile(dcClass:String ,dcInfo:[Int8])  START *** ", caller(), kSaveFile);
  const EndLine end(log(), caller(), kSaveFile,
                    " *** saveFile(dcClass:String ,dcInfo:[Int8])  END *** ");
  try {
    const std::shared_ptr<VelkCertificateHistoryInfo> info =
        getCertificateHistoryInfo(dcClass, dcInfo);
    if (!info) {
      log().error(" *** data read error *** ", caller(), kSaveFile);
      return;
    }
    // The controller's destructor releases the lock on every way out.
    Controller controller;
    if (!controller.lock(VelkUpdateReminderCommon::PROCCESS_LOCL_WAIT)) {
      log().error(" *** lock error *** ", caller(), kSaveFile);
      return;
    }
    if (!controller.isExists() && !controller.createNewCertificateFile()) {
      log().error(" *** createNewCertificateFile error : file write error *** ", caller(),
                  kSaveFile);
      controller.unlock();
      return;
    }
    if (!controller.readFile(VelkUpdateReminderCommon::HISTORY_MAX_COUNT)) {
      log().error(" *** readFile error : file read error *** ", caller(), kSaveFile);
      controller.unlock();
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
    controller.unlock();
  } catch (...) {
    // Whatever still escapes (running out of memory) ends the recording here.
    CaughtException::log(log(), caller(), kSaveFile);
  }
}

std::shared_ptr<VelkCertificateHistoryInfo> VelkCertificateHistorySave::getCertificateHistoryInfo(
    const std::string& dcClass, const std::vector<std::int8_t>& dcInfo) {
  log().debug(
      " *** getCertificateHistoryInfo(dcClass:String, dcInfo:[Int8]) -> "
      "VelkCertificateHistoryInfo?  START *** ",
      caller(), kGetInfo);
  const EndLine end(log(), caller(), kGetInfo,
                    " *** getCertificateHistoryInfo(dcClass:String, dcInfo:[Int8]) -> "
                    "VelkCertificateHistoryInfo?  END *** ");
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
      return nullptr;
    }
    const std::optional<foundation::Date> notAfter = certificate->getNotAfter();
    if (!notAfter) {
      log().error(" *** getNotAfter() failed *** ", caller(), kGetInfo);
      return nullptr;
    }
    info->setNotAfter(*notAfter);
    const std::optional<std::vector<std::int8_t>> serialNumber = certificate->getSerialNumber();
    if (!serialNumber) {
      log().error(" *** getSerialNumber() failed *** ", caller(), kGetInfo);
      return nullptr;
    }
    info->setSerialNumber(VelkHexUtility::toHexString(*serialNumber));
  }
  info->setOpenTime(VelkUpdateReminderCommon::getSystemDate());
  if (!info->selfCheck()) {
    log().error(" *** self check NG! *** ", caller(), kGetInfo);
    return nullptr;
  }
  log().debug(" *** self check OK! *** ", caller(), kGetInfo);
  return info;
}
