#pragma once

#include <any>
#include <cctype>
#include <functional>
#include <memory>
#include <string>
#include <type_traits>
#include <typeinfo>
#include <utility>

#include "appkit/Class.h"
#include "appkit/Coder.h"
#include "appkit/Object.h"

namespace appkit {

// Registers the C++ class T, subclass of Super (void for the root), under a
// name, with its selector table. Do it once, from a namespace-scope variable
// in T's own .cpp, so that the class is known as soon as its library is
// loaded:
//
//   namespace {
//   using Builder = appkit::ClassBuilder<MyController, appkit::ViewController>;
//   void describe(Builder& cls) {
//     cls.method("closeButton_actionPerformed:", &MyController::closeButton_actionPerformed)
//         .method("windowWillClose:", &MyController::windowWillClose)
//         .outlet("table", &MyController::table);
//   }
//   [[maybe_unused]] const bool registered = Builder::define("MyController", describe);
//   }  // namespace
//
// Instances are made with T(const Coder&) when T has that constructor, else
// with T(); factory() replaces that. Selectors that a superclass registered
// are inherited.
template <class T, class Super>
class ClassBuilder {
  static_assert(std::is_base_of_v<Object, T>, "registered classes derive from appkit::Object");
  static_assert(std::is_void_v<Super> || std::is_base_of_v<Super, T>,
                "Super must be a base class of T");

 public:
  // Registers T under `name` with the selectors `configure` (a callable
  // taking ClassBuilder&) adds. Returns false when the name or the type is
  // taken or registering failed; never throws, so it is safe in static
  // initialisation.
  template <class Configure>
  static bool define(const char* name, Configure configure) noexcept {
    try {
      ClassBuilder builder(name);
      configure(builder);
      return builder.registerClass();
    } catch (...) {
      return false;
    }
  }

  explicit ClassBuilder(std::string name) : name_(std::move(name)) {
    if constexpr (std::is_constructible_v<T, const Coder&>) {
      factory_ = [](const Coder& coder) -> std::shared_ptr<Object> {
        return std::make_shared<T>(coder);
      };
    } else if constexpr (std::is_default_constructible_v<T>) {
      factory_ = [](const Coder&) -> std::shared_ptr<Object> { return std::make_shared<T>(); };
    }
  }

  ClassBuilder& factory(Class::Factory factory) {
    factory_ = std::move(factory);
    return *this;
  }

  // `selector` calls `function`, a member function pointer or a callable
  // taking (T&, const std::any& argument) or (T&). A member function taking
  // `const A&` for another type A gets the argument when it holds an A, and is
  // not called otherwise. A non-void result is returned in a std::any.
  template <class F>
  ClassBuilder& method(Selector selector, F function) {
    methods_[std::move(selector)] = [function](Object& receiver,
                                               const std::any& argument) -> std::any {
      auto* self = dynamic_cast<T*>(&receiver);
      if (self == nullptr) {
        return {};
      }
      if constexpr (std::is_invocable_v<F, T&, const std::any&>) {
        return call([&] { return std::invoke(function, *self, argument); });
      } else {
        static_assert(std::is_invocable_v<F, T&>, "unsupported method signature");
        return call([&] { return std::invoke(function, *self); });
      }
    };
    return *this;
  }

  template <class A, class C>
  ClassBuilder& method(Selector selector, void (C::*function)(const A&)) {
    static_assert(std::is_base_of_v<C, T>);
    if constexpr (std::is_same_v<A, std::any>) {
      return method<void (C::*)(const A&)>(std::move(selector), function);
    } else {
      return method(std::move(selector), [function](T& self, const std::any& argument) {
        if (const auto* value = std::any_cast<A>(&argument)) {
          (self.*function)(*value);
        }
      });
    }
  }

  // The outlet `name`, a weak reference kept in `member`: the getter `name`
  // returns std::shared_ptr<Object> (empty when unset), and the setter
  // "set<Name>:" takes a std::shared_ptr<Object>, keeping it when it is a V
  // and clearing the outlet otherwise.
  template <class V, class C>
  ClassBuilder& outlet(const std::string& name, std::weak_ptr<V> C::*member) {
    static_assert(std::is_base_of_v<C, T>);
    method(name, [member](T& self) { return std::shared_ptr<Object>((self.*member).lock()); });
    std::string setter = "set" + name + ":";
    setter[3] = static_cast<char>(std::toupper(static_cast<unsigned char>(setter[3])));
    return method(std::move(setter), [member](T& self, const std::any& argument) {
      const auto* object = std::any_cast<std::shared_ptr<Object>>(&argument);
      self.*member = object != nullptr ? std::dynamic_pointer_cast<V>(*object) : nullptr;
    });
  }

  // Registers the class. Returns false when the name or the type is taken.
  bool registerClass() {
    return Class::registerClass(std::make_unique<Class>(
        name_, typeid(T), typeid(Super), std::move(factory_), std::move(methods_), &anchor));
  }

 private:
  template <class Call>
  static std::any call(Call&& body) {
    if constexpr (std::is_void_v<std::invoke_result_t<Call>>) {
      body();
      return {};
    } else {
      return std::any(body());
    }
  }

  // Lives in the program or library that instantiates this template for T,
  // i.e. the one that registers T; hidden, so no other copy can stand in.
  __attribute__((visibility("hidden"))) static inline const char anchor = 0;

  std::string name_;
  Class::Factory factory_;
  Class::MethodTable methods_;
};

}  // namespace appkit
