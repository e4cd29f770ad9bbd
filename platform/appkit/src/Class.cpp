#include "appkit/Class.h"

#include <mutex>
#include <unordered_map>
#include <utility>
#include <vector>

#include "appkit/Object.h"

namespace appkit {

namespace {

// Every registered class, by name and by C++ type. Classes are never removed,
// so pointers to them stay valid.
class Registry {
 public:
  static Registry& shared() {
    static Registry registry;
    return registry;
  }

  bool add(std::unique_ptr<Class> cls, const std::type_index& type) {
    std::lock_guard lock(mutex_);
    if (byName_.contains(cls->name()) || byType_.contains(type)) {
      return false;
    }
    byName_.emplace(cls->name(), cls.get());
    byType_.emplace(type, cls.get());
    classes_.push_back(std::move(cls));
    return true;
  }

  const Class* named(std::string_view name) {
    std::lock_guard lock(mutex_);
    auto found = byName_.find(std::string(name));
    return found != byName_.end() ? found->second : nullptr;
  }

  const Class* forType(const std::type_index& type) {
    std::lock_guard lock(mutex_);
    auto found = byType_.find(type);
    return found != byType_.end() ? found->second : nullptr;
  }

 private:
  std::mutex mutex_;
  std::vector<std::unique_ptr<Class>> classes_;
  std::unordered_map<std::string, const Class*> byName_;
  std::unordered_map<std::type_index, const Class*> byType_;
};

}  // namespace

Class::Class(std::string name, const std::type_info& type, const std::type_info& superclass,
             Factory factory, MethodTable methods, const void* image)
    : name_(std::move(name)),
      type_(type),
      superclass_(superclass),
      factory_(std::move(factory)),
      methods_(std::move(methods)),
      image_(image) {}

bool Class::registerClass(std::unique_ptr<Class> cls) {
  if (cls == nullptr) {
    return false;
  }
  const std::type_index type = cls->type_;
  return Registry::shared().add(std::move(cls), type);
}

const Class* Class::named(std::string_view name) { return Registry::shared().named(name); }

const Class* Class::forType(const std::type_info& type) {
  return Registry::shared().forType(std::type_index(type));
}

const Class* Class::superclass() const {
  if (superclass_ == std::type_index(typeid(void))) {
    return nullptr;
  }
  return Registry::shared().forType(superclass_);
}

bool Class::isSubclassOfClass(const Class& other) const {
  for (const Class* cls = this; cls != nullptr; cls = cls->superclass()) {
    if (cls == &other) {
      return true;
    }
  }
  return false;
}

const Class::Method* Class::methodForSelector(std::string_view selector) const {
  for (const Class* cls = this; cls != nullptr; cls = cls->superclass()) {
    auto found = cls->methods_.find(selector);
    if (found != cls->methods_.end()) {
      return &found->second;
    }
  }
  return nullptr;
}

std::shared_ptr<Object> Class::instantiate(const Coder& coder) const {
  if (!factory_) {
    return nullptr;
  }
  try {
    return factory_(coder);
  } catch (...) {
    return nullptr;
  }
}

}  // namespace appkit
