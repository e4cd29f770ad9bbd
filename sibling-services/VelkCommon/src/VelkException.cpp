#include "VelkCommon/VelkException.h"

#include <utility>

VelkException::VelkException(std::string message, std::string location)
    : message_(std::move(message)), location_(std::move(location)) {}

const std::string& VelkException::getMessage() const noexcept { return message_; }

const std::string& VelkException::getLocation() const noexcept { return location_; }

const char* VelkException::what() const noexcept { return message_.c_str(); }
