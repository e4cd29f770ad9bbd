#include "BenchHome.h"

#include <stdlib.h>  // NOLINT(modernize-deprecated-headers): mkdtemp, setenv, unsetenv

#include <cstdio>
#include <filesystem>

BenchHome::BenchHome() {
  std::string root = std::filesystem::temp_directory_path() / "velk-bench-XXXXXX";
  if (::mkdtemp(root.data()) == nullptr) {
    std::perror("mkdtemp");
    return;
  }
  root_ = root;
  // NOLINTBEGIN(concurrency-mt-unsafe): made before any other thread runs
  ::setenv("HOME", root_.c_str(), 1);
  ::unsetenv("XDG_DATA_HOME");
  ::unsetenv("XDG_STATE_HOME");
  // NOLINTEND(concurrency-mt-unsafe)
}

BenchHome::~BenchHome() {
  if (valid()) {
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
  }
}
