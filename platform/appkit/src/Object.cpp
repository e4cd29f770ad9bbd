#include "appkit/Object.h"

#include <typeinfo>

#include "appkit/Class.h"
#include "appkit/ClassBuilder.h"

namespace appkit {

namespace {
[[maybe_unused]] const bool registered =
    ClassBuilder<Object, void>::define("Object", [](auto& /*cls*/) {});
}  // namespace

Object::~Object() = default;

const Class* Object::objectClass() const { return Class::forType(typeid(*this)); }

bool Object::respondsToSelector(const Selector& selector) const {
  const Class* cls = objectClass();
  return cls != nullptr && cls->instancesRespondToSelector(selector);
}

std::optional<std::any> Object::performSelector(const Selector& selector,
                                                const std::any& argument) {
  const Class* cls = objectClass();
  const Class::Method* method = cls != nullptr ? cls->methodForSelector(selector) : nullptr;
  if (method == nullptr) {
    return std::nullopt;
  }
  return (*method)(*this, argument);
}

}  // namespace appkit
