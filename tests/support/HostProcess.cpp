#include "support/HostProcess.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

namespace velktest {

namespace {

// Starts velk-host with `args` in the current environment, standard input
// from the descriptor `input` and standard output and error into the files
// `outPath` and `errPath`. Returns the child's pid, or -1 when fork failed.
pid_t startVelkHost(const std::vector<std::string>& args, int input, const std::string& outPath,
                    const std::string& errPath) {
  std::vector<std::string> all = args;
  all.insert(all.begin(), VELK_HOST);
  std::vector<char*> argv;
  argv.reserve(all.size() + 1);
  for (std::string& arg : all) {
    argv.push_back(arg.data());
  }
  argv.push_back(nullptr);
  const pid_t child = ::fork();
  if (child == 0) {
    const int out = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (out < 0 || err < 0 || ::dup2(input, 0) < 0 || ::dup2(out, 1) < 0 || ::dup2(err, 2) < 0) {
      ::_exit(127);
    }
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  return child;
}

}  // namespace

HostRun runVelkHost(const TempDir& dir, const std::vector<std::string>& args,
                    const std::string& input) {
  writeFileBytes(dir.file("stdin"), input);
  const int in = ::open(dir.file("stdin").c_str(), O_RDONLY | O_CLOEXEC);
  const pid_t child = startVelkHost(args, in, dir.file("stdout"), dir.file("stderr"));
  ::close(in);
  HostRun run;
  int status = 0;
  while (child > 0 && ::waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  if (child <= 0 || !WIFEXITED(status)) {
    ADD_FAILURE() << "velk-host did not run to its end";
    return run;
  }
  run.status = WEXITSTATUS(status);
  run.out = readFileBytes(dir.file("stdout"));
  run.err = readFileBytes(dir.file("stderr"));
  return run;
}

}  // namespace velktest
