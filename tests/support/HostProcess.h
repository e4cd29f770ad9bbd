#pragma once

#include <string>
#include <vector>

#include "support/TempDir.h"

namespace velktest {

// How a run of velk-host ended.
struct HostRun {
  int status = -1;  // the exit status; -1 when it did not exit by itself
  std::string out;
  std::string err;
};

// Runs velk-host with `args` to its end, reading `input` and catching its
// output in files of `dir`.
HostRun runVelkHost(const TempDir& dir, const std::vector<std::string>& args,
                    const std::string& input = "");

}  // namespace velktest
