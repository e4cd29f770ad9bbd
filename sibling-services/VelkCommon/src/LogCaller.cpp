#include "VelkCommon/LogCaller.h"

#include <cxxabi.h>

#include <cstdlib>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>

namespace {

// "ns::Outer<int>::Name<std::pair<A, B>>" -> "Name": the last component,
// without template arguments at any depth.
std::string shortName(const std::string& full) {
  std::string plain;
  plain.reserve(full.size());
  int depth = 0;
  for (const char c : full) {
    if (c == '<') {
      ++depth;
    } else if (c == '>' && depth > 0) {
      --depth;
    } else if (depth == 0) {
      plain += c;
    }
  }
  if (const std::size_t colon = plain.rfind("::"); colon != std::string::npos) {
    plain.erase(0, colon + 2);
  }
  return plain;
}

std::string demangle(const char* mangled) {
  int status = 0;
  const std::unique_ptr<char, decltype(&std::free)> demangled(
      abi::__cxa_demangle(mangled, nullptr, nullptr, &status), &std::free);
  return shortName(status == 0 && demangled ? demangled.get() : mangled);
}

}  // namespace

std::string_view LogCaller::className() const {
  // Names are demangled once per class and kept for the life of the process;
  // the map's nodes never move, so the views handed out stay valid.
  static std::mutex mutex;
  static std::unordered_map<const std::type_info*, std::string> names;
  try {
    const std::lock_guard<std::mutex> guard(mutex);
    auto [it, inserted] = names.try_emplace(type_);
    if (inserted) {
      it->second = demangle(type_->name());
    }
    return it->second;
  } catch (...) {
    return "?";
  }
}
