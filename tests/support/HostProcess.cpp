#include "support/HostProcess.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>

namespace velktest {

HostRun runVelkHost(const TempDir& dir, const std::vector<std::string>& args,
                    const std::string& input) {
  writeFileBytes(dir.file("stdin"), input);
  // Each word in single quotes, its own single quotes written '\''.
  std::string command = VELK_HOST;
  for (const std::string& arg : args) {
    command += " '";
    for (const char c : arg) {
      command += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    command += "'";
  }
  command +=
      " <'" + dir.file("stdin") + "' >'" + dir.file("stdout") + "' 2>'" + dir.file("stderr") + "'";
  const int status =
      std::system(command.c_str());  // NOLINT(cert-env33-c,concurrency-mt-unsafe): one thread
  HostRun run;
  if (status == -1 || !WIFEXITED(status)) {
    ADD_FAILURE() << "velk-host did not run to its end: " << command;
    return run;
  }
  run.status = WEXITSTATUS(status);
  run.out = readFileBytes(dir.file("stdout"));
  run.err = readFileBytes(dir.file("stderr"));
  return run;
}

}  // namespace velktest
