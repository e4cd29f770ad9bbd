#pragma once

#include <string_view>
#include <typeinfo>

#include "VelkCommon/VelkCommonExport.h"

// The object or class on whose behalf a log line is written. Built implicitly
// from a pointer to the calling object (its dynamic class is logged; for a
// null pointer, the pointer's class), or with LogCaller::of<T>() from a
// static operation of class T.
class VELKCOMMON_EXPORT LogCaller {
 public:
  template <class T>
  LogCaller(const T* object)  // NOLINT(google-explicit-constructor)
      : type_(object != nullptr ? &typeid(*object) : &typeid(T)) {}

  template <class T>
  static LogCaller of() {
    return LogCaller(typeid(T));
  }

  // The class name without namespaces or template arguments, e.g.
  // "VelkCertificateHistoryInfo"; valid for the life of the process. Never
  // throws.
  std::string_view className() const;

 private:
  explicit LogCaller(const std::type_info& type) : type_(&type) {}

  const std::type_info* type_;
};
