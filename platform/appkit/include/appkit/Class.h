#pragma once

#include <any>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <typeinfo>

#include "appkit/AppKitExport.h"
#include "appkit/Coder.h"
#include "appkit/Object.h"

namespace appkit {

// A class known by name: how to make an instance from an archive's values,
// and the table of the selectors its instances respond to. Register a class
// once, from a namespace-scope variable of its own .cpp, so that it is known
// as soon as its library is loaded:
//
//   appkit::Class::Methods methods() {
//     return {{"windowWillClose:", appkit::Class::action(&MyController::windowWillClose)}};
//   }
//   const bool registered = appkit::Class::define<MyController>("MyController", methods);
class VELKAPPKIT_EXPORT Class {
 public:
  // Runs a method on `receiver` with the selector's argument; returns its
  // result or an empty any.
  using Method = std::function<std::any(Object& receiver, const std::any& argument)>;
  using Methods = std::map<Selector, Method, std::less<>>;
  using Factory = std::shared_ptr<Object> (*)(const Coder& coder);

  // Registers T under `name` with the methods `makeMethods()` returns, made
  // with T(const Coder&). False, registering nothing (after a line on
  // standard error), when the name or the type is registered already or
  // making the methods fails; never throws.
  template <class T, class MakeMethods>
  static bool define(const char* name, MakeMethods makeMethods) noexcept {
    try {
      return add(name, typeid(T), &make<T>, makeMethods());
    } catch (...) {
      return false;
    }
  }

  // Adds to `methods` the setter "set<Name>:" of the outlet `name` kept in
  // `member`, which keeps a V and clears the outlet for anything else.
  template <class T, class V>
  using Outlet = std::weak_ptr<V> T::*;
  template <class T, class V>
  static void outlet(Methods& methods, const std::string& name, Outlet<T, V> member) {
    methods[setterOf(name)] = [member](Object& receiver, const std::any& argument) -> std::any {
      const auto* object = std::any_cast<std::shared_ptr<Object>>(&argument);
      dynamic_cast<T&>(receiver).*member =
          object != nullptr ? std::dynamic_pointer_cast<V>(*object) : nullptr;
      return {};
    };
  }

  // "setTable:" for the property "table".
  static Selector setterOf(std::string_view property);

  // The class registered under `name`, or for exactly the type `type`;
  // nullptr when none is.
  static const Class* named(std::string_view name);
  static const Class* forType(const std::type_info& type);

  // A new instance made from `coder`; throws what the constructor throws.
  std::shared_ptr<Object> instantiate(const Coder& coder) const { return factory_(coder); }

  // The method for `selector`; nullptr when the class has none.
  const Method* method(std::string_view selector) const;

  // An address inside the program or shared library that registered the
  // class: its factory's.
  const void* image() const { return reinterpret_cast<const void*>(factory_); }

 private:
  // The factory of T. It lives in the library that registers T; hidden, so
  // that no other library's copy can stand in for it (see Bundle::forClass).
  template <class T>
  __attribute__((visibility("hidden"))) static std::shared_ptr<Object> make(const Coder& coder) {
    return std::make_shared<T>(coder);
  }

  static bool add(const char* name, const std::type_info& type, Factory factory, Methods methods);

  std::string name_;
  const std::type_info* type_ = nullptr;
  Factory factory_ = nullptr;
  Methods methods_;
};

}  // namespace appkit
