#pragma once

#include <memory>
#include <string>

#include "appkit/AppKitExport.h"

namespace appkit {

class Object;

// A named announcement about an object, e.g. Window::WillCloseNotification
// with the closing window; observers receive it as their selector's argument.
class VELKAPPKIT_EXPORT Notification {
 public:
  Notification(std::string name, std::shared_ptr<Object> object);

  const std::string& name() const { return name_; }
  // The object the notification is about; may be nullptr.
  const std::shared_ptr<Object>& object() const { return object_; }

 private:
  std::string name_;
  std::shared_ptr<Object> object_;
};

}  // namespace appkit
