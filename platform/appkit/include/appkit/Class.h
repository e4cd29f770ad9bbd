#pragma once

#include <any>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <typeindex>
#include <typeinfo>

#include "appkit/AppKitExport.h"
#include "appkit/Selector.h"

namespace appkit {

class Coder;
class Object;

// A class known by name: how to make an instance, its superclass, and the
// table of selectors its instances respond to. Classes are registered once,
// usually from a namespace-scope variable in the class's own .cpp (see
// ClassBuilder), and stay registered for the life of the process. The registry
// may be used from several threads.
class VELKAPPKIT_EXPORT Class {
 public:
  // Runs a method on `receiver` (an instance of the class or a subclass) with
  // the selector's argument; returns the method's result or an empty any.
  using Method = std::function<std::any(Object& receiver, const std::any& argument)>;
  // Makes a new instance from an archive's values; may return nullptr.
  using Factory = std::function<std::shared_ptr<Object>(const Coder& coder)>;
  using MethodTable = std::map<Selector, Method, std::less<>>;

  // `superclass` is the C++ type of the superclass, or typeid(void) for a
  // root class; it is looked up when needed, so the order in which classes
  // register does not matter. `image` is an address inside the program or
  // shared library that defines the class (see Bundle::forClass).
  Class(std::string name, const std::type_info& type, const std::type_info& superclass,
        Factory factory, MethodTable methods, const void* image);

  // Adds `cls` to the registry. Returns false, registering nothing, when its
  // name or its C++ type is registered already.
  static bool registerClass(std::unique_ptr<Class> cls);

  // The class registered under `name`; nullptr when there is none.
  static const Class* named(std::string_view name);

  // The class registered for exactly the C++ type `type`; nullptr when none.
  static const Class* forType(const std::type_info& type);

  const std::string& name() const { return name_; }

  // The registered superclass; nullptr for a root class or when the
  // superclass was never registered.
  const Class* superclass() const;

  // True when this class is `other` or inherits from it.
  bool isSubclassOfClass(const Class& other) const;

  // The method for `selector` in this class or its nearest superclass that
  // has one; nullptr when none has.
  const Method* methodForSelector(std::string_view selector) const;

  bool instancesRespondToSelector(std::string_view selector) const {
    return methodForSelector(selector) != nullptr;
  }

  // A new instance made from `coder`; nullptr when the class has no factory
  // or its factory failed or threw.
  std::shared_ptr<Object> instantiate(const Coder& coder) const;

  // An address inside the program or shared library that registered the
  // class.
  const void* imageAddress() const { return image_; }

 private:
  std::string name_;
  std::type_index type_;
  std::type_index superclass_;
  Factory factory_;
  MethodTable methods_;
  const void* image_;
};

}  // namespace appkit
