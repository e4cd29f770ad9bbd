#include "BenchHome.h"

#include <stdlib.h>  // NOLINT(modernize-deprecated-headers): mkdtemp, setenv

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
  ::setenv("XDG_DATA_HOME", (root_ + "/data").c_str(), 1);
  ::setenv("XDG_STATE_HOME", (root_ + "/state").c_str(), 1);
  // NOLINTEND(concurrency-mt-unsafe)
}

BenchHome::~BenchHome() {
  if (valid()) {
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
  }
}
