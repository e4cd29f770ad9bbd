#include "appkit/Notification.h"

#include <utility>

namespace appkit {

Notification::Notification(std::string name, std::shared_ptr<Object> object)
    : name_(std::move(name)), object_(std::move(object)) {}

}  // namespace appkit
