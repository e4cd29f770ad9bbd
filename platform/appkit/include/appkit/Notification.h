#pragma once

#include <memory>
#include <string>

namespace appkit {

class Object;

// A named announcement about an object, e.g. Window::WillCloseNotification
// with the closing window; observers receive it as their selector's argument.
class Notification {
 public:
  Notification(std::string name, std::shared_ptr<Object> object)
      : name_(std::move(name)), object_(std::move(object)) {}

  const std::string& name() const { return name_; }
  const std::shared_ptr<Object>& object() const { return object_; }

 private:
  std::string name_;
  std::shared_ptr<Object> object_;
};

}  // namespace appkit
