#include "CaughtException.h"

#include <exception>
#include <string>

#include "VelkCommon/VelkException.h"

void CaughtException::log(const Logger& logger, LogCaller caller,
                          std::string_view operation) noexcept {
  try {
    try {
      throw;
    } catch (const VelkException& exception) {
      logger.error("exception = " + exception.getMessage() + " at " + exception.getLocation(),
                   caller, operation);
    } catch (const std::exception& exception) {
      logger.error(std::string("exception = ") + exception.what(), caller, operation);
    } catch (...) {
      logger.error("exception = unknown exception", caller, operation);
    }
  } catch (...) {
    // Out of memory while building the line: it is dropped.
  }
}
