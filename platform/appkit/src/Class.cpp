#include "appkit/Class.h"

#include <algorithm>
#include <cctype>
#include <deque>
#include <iostream>
#include <mutex>

namespace appkit {

namespace {

// Every registered class; a deque, so that pointers to them stay valid. The
// lock is recursive: add() holds it across its look-ups and the insertion.
std::recursive_mutex registryMutex;
std::deque<Class>& registry() {
  static std::deque<Class> classes;
  return classes;
}

template <class Matches>
const Class* find(Matches matches) {
  const std::lock_guard<std::recursive_mutex> guard(registryMutex);
  const auto found = std::find_if(registry().begin(), registry().end(), matches);
  return found != registry().end() ? &*found : nullptr;
}

}  // namespace

bool Class::add(const char* name, const std::type_info& type, Factory factory, Methods methods) {
  const std::lock_guard<std::recursive_mutex> guard(registryMutex);
  if (named(name) != nullptr || forType(type) != nullptr) {
    std::cerr << "appkit: class " << name << " is registered already\n";
    return false;
  }
  Class& cls = registry().emplace_back();
  cls.name_ = name;
  cls.type_ = &type;
  cls.factory_ = factory;
  cls.methods_ = std::move(methods);
  return true;
}

Selector Class::setterOf(std::string_view property) {
  Selector setter = "set" + std::string(property) + ":";
  setter[3] = static_cast<char>(std::toupper(static_cast<unsigned char>(setter[3])));
  return setter;
}

const Class* Class::named(std::string_view name) {
  return find([&](const Class& cls) { return cls.name_ == name; });
}

const Class* Class::forType(const std::type_info& type) {
  return find([&](const Class& cls) { return *cls.type_ == type; });
}

const Class::Method* Class::method(std::string_view selector) const {
  const auto found = methods_.find(selector);
  return found != methods_.end() ? &found->second : nullptr;
}

}  // namespace appkit
