#include "FuzzSupport.h"

#include <stdlib.h>  // NOLINT(modernize-deprecated-headers): mkdtemp, setenv
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace velkfuzz {

namespace fs = std::filesystem;

FuzzHome::FuzzHome() {
  const char* tmp = std::getenv("TMPDIR");  // NOLINT(concurrency-mt-unsafe)
  const std::string base = ::access("/dev/shm", W_OK | X_OK) == 0 ? "/dev/shm"
                           : tmp != nullptr && *tmp != '\0'       ? tmp
                                                                  : "/tmp";
  // Folders are named velk-fuzz-<pid>-XXXXXX.
  const std::string prefix = "velk-fuzz-";
  std::error_code ignored;
  for (const auto& entry : fs::directory_iterator(base, ignored)) {
    const std::string name = entry.path().filename().string();
    const auto pid = name.starts_with(prefix) ? std::atol(name.c_str() + prefix.size()) : 0;
    if (pid > 0 && ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH) {
      fs::remove_all(entry.path(), ignored);
    }
  }
  root_ = base + "/" + prefix + std::to_string(::getpid()) + "-XXXXXX";
  if (::mkdtemp(root_.data()) == nullptr) {
    fail("FuzzHome: mkdtemp " + root_ + " failed");
  }
  ::setenv("XDG_DATA_HOME", (root_ + "/data").c_str(), 1);    // NOLINT(concurrency-mt-unsafe)
  ::setenv("XDG_STATE_HOME", (root_ + "/state").c_str(), 1);  // NOLINT(concurrency-mt-unsafe)
}

FuzzHome::~FuzzHome() {
  std::error_code ignored;
  fs::remove_all(root_, ignored);
}

void fail(const std::string& what) {
  std::fprintf(stderr, "%s\n", what.c_str());
  std::abort();
}

void writeFile(const std::string& path, std::string_view bytes) {
  std::error_code ignored;
  fs::create_directories(fs::path(path).parent_path(), ignored);
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (!out.write(bytes.data(), static_cast<std::streamsize>(bytes.size())).flush()) {
    fail("cannot write " + path);
  }
}

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    fail("cannot read " + path);
  }
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::optional<std::string> messageOf(std::string_view line) {
  const std::size_t bar = line.find(" |");
  if (bar == std::string_view::npos) {
    return std::nullopt;
  }
  static constexpr std::string_view kEscapes = "\\\\n\nr\rt\t";
  static constexpr std::string_view kDigits = "0123456789ABCDEF";
  std::string message;
  for (std::size_t i = bar + 2; i < line.size(); ++i) {
    if (line[i] != '\\') {
      message += line[i];
      continue;
    }
    const std::string_view rest = line.substr(i + 1);
    const std::size_t escape = rest.empty() ? std::string_view::npos : kEscapes.find(rest[0]);
    if (escape != std::string_view::npos && escape % 2 == 0) {
      message += kEscapes[escape + 1];
      ++i;
    } else if (rest.size() >= 3 && rest[0] == 'x' &&
               kDigits.find(rest[1]) != std::string_view::npos &&
               kDigits.find(rest[2]) != std::string_view::npos) {
      message += static_cast<char>(kDigits.find(rest[1]) * 16 + kDigits.find(rest[2]));
      i += 3;
    } else {
      return std::nullopt;
    }
  }
  return message;
}

}  // namespace velkfuzz
