#pragma once

#include <memory>
#include <string>

namespace appkit {

class Object;

// A named announcement about an object, e.g. Window::WillCloseNotification
// with the closing window; observers receive it as their selector's argument.
struct Notification {
  std::string name;
  std::shared_ptr<Object> object;
};

}  // namespace appkit
