#pragma once

#include <any>
#include <memory>
#include <optional>
#include <string>

#include "appkit/AppKitExport.h"

namespace appkit {

// The name of a method, as in "closeButton_actionPerformed:" or "setTable:".
using Selector = std::string;

// The root of the class tree. Objects live in std::shared_ptr; weak
// references (delegates, outlets, targets) are std::weak_ptr. Selectors reach
// an object through the method table of the class registered for its dynamic
// type (Class::define). Object arguments of selectors travel in std::any as
// std::shared_ptr<Object>.
class VELKAPPKIT_EXPORT Object : public std::enable_shared_from_this<Object> {
 public:
  Object() = default;
  virtual ~Object() = default;
  Object(const Object&) = delete;
  Object& operator=(const Object&) = delete;

  // Runs the method for `selector` with `argument` and returns its result
  // (an empty std::any for methods without one); nullopt, having done
  // nothing, when the object does not respond to `selector`.
  std::optional<std::any> performSelector(const Selector& selector, const std::any& argument = {});

  // This object as a std::shared_ptr<T>; nullptr when it is not a T or not
  // owned by a std::shared_ptr.
  template <class T>
  std::shared_ptr<T> sharedAs() {
    return std::dynamic_pointer_cast<T>(weak_from_this().lock());
  }
};

}  // namespace appkit
