#include "appkit/Object.h"

#include <typeinfo>

#include "appkit/Class.h"

namespace appkit {

std::optional<std::any> Object::performSelector(const Selector& selector,
                                                const std::any& argument) {
  const Class* cls = Class::forType(typeid(*this));
  const Class::Method* method = cls != nullptr ? cls->method(selector) : nullptr;
  return method != nullptr ? std::optional((*method)(*this, argument)) : std::nullopt;
}

}  // namespace appkit
