#pragma once

#include <sys/types.h>

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

// Starts velk-host with `args` in the current environment, standard input
// from the descriptor `input` and standard output and error into the files
// `outPath` and `errPath`. Returns the child's pid, or -1 when fork failed.
pid_t startVelkHost(const std::vector<std::string>& args, int input, const std::string& outPath,
                    const std::string& errPath);

// Runs velk-host with `args` to its end, reading `input` and catching its
// output in files of `dir`.
HostRun runVelkHost(const TempDir& dir, const std::vector<std::string>& args,
                    const std::string& input = "");

}  // namespace velktest
