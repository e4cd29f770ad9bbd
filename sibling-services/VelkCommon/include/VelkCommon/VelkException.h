#pragma once

#include <exception>
#include <string>

#include "VelkCommon/VelkCommonExport.h"

// The family's exception: a message and the place where it arose.
class VELKCOMMON_EXPORT VelkException : public std::exception {
 public:
  VelkException(std::string message, std::string location);

  const std::string& getMessage() const noexcept;
  const std::string& getLocation() const noexcept;
  const char* what() const noexcept override;

 private:
  std::string message_;
  std::string location_;
};
