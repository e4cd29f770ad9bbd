#pragma once

#include <any>
#include <memory>
#include <optional>

#include "appkit/AppKitExport.h"
#include "appkit/Selector.h"

namespace appkit {

class Class;

// The root of the class tree. Objects live in std::shared_ptr (make them with
// std::make_shared); weak references (delegates, outlets, targets) are
// std::weak_ptr. Selectors reach an object through the method table of the
// class registered for its dynamic type, so a subclass whose selectors matter
// must be registered itself (ClassBuilder). Object arguments and results of
// selectors travel in std::any as std::shared_ptr<Object>.
class VELKAPPKIT_EXPORT Object : public std::enable_shared_from_this<Object> {
 public:
  Object() = default;
  virtual ~Object();
  Object(const Object&) = delete;
  Object& operator=(const Object&) = delete;

  // The class registered for this object's dynamic type; nullptr when that
  // type was never registered.
  const Class* objectClass() const;

  // True when the object's class or one of its superclasses has a method for
  // `selector`.
  bool respondsToSelector(const Selector& selector) const;

  // Runs the method for `selector` with `argument` and returns what it
  // returned (an empty std::any for methods without a result). Returns
  // nullopt, having done nothing, when the object does not respond to
  // `selector`. Exceptions of the method pass through.
  std::optional<std::any> performSelector(const Selector& selector, const std::any& argument = {});

  // This object as a std::shared_ptr<T>; nullptr when it is not a T or not
  // owned by a std::shared_ptr (e.g. while it is being constructed).
  template <class T>
  std::shared_ptr<T> sharedAs() {
    return std::dynamic_pointer_cast<T>(weak_from_this().lock());
  }
  template <class T>
  std::shared_ptr<const T> sharedAs() const {
    return std::dynamic_pointer_cast<const T>(weak_from_this().lock());
  }
};

}  // namespace appkit
