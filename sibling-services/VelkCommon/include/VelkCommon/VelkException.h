#pragma once

#include <exception>
#include <string>
#include <utility>

#include "VelkCommon/VelkCommonExport.h"

// The family's exception: a message and the place where it arose.
class VELKCOMMON_EXPORT VelkException : public std::exception {
 public:
  VelkException(std::string message, std::string location)
      : message_(std::move(message)), location_(std::move(location)) {}

  const std::string& getMessage() const noexcept { return message_; }
  const std::string& getLocation() const noexcept { return location_; }
  const char* what() const noexcept override { return message_.c_str(); }

 private:
  std::string message_;
  std::string location_;
};
