#include "VelkCommon/LogCaller.h"

#include <cxxabi.h>

#include <cstdlib>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>

namespace {

// The demangled name's last component, without template arguments at any
// depth: "ns::Outer<int>::Name<std::pair<A, B>>" gives "Name".
std::string shortName(const char* mangled) {
  int status = 0;
  const std::unique_ptr<char, decltype(&std::free)> demangled(
      abi::__cxa_demangle(mangled, nullptr, nullptr, &status), &std::free);
  const std::string_view full = status == 0 && demangled ? demangled.get() : mangled;
  std::string plain;
  int depth = 0;
  for (const char c : full) {
    depth += c == '<' ? 1 : 0;
    if (depth == 0) {
      plain += c;
    }
    depth -= c == '>' && depth > 0 ? 1 : 0;
  }
  const std::size_t colon = plain.rfind("::");
  return colon == std::string::npos ? plain : plain.substr(colon + 2);
}

}  // namespace

std::string_view LogCaller::className() const {
  // Demangling costs more than the rest of a line, so each class's name is
  // worked out once; the map's nodes never move, so the views stay valid.
  static std::mutex mutex;
  static std::unordered_map<const std::type_info*, std::string> names;
  try {
    const std::lock_guard<std::mutex> guard(mutex);
    const auto found = names.find(type_);
    return found != names.end() ? found->second
                                : names.emplace(type_, shortName(type_->name())).first->second;
  } catch (...) {
    return "?";
  }
}
