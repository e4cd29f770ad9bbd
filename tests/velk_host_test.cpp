// velk-host, run as a separate program the way a person runs it.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "support/CertificateFactory.h"
#include "support/TempDir.h"
#include "support/TempHome.h"

namespace {

using velktest::CertificateFactory;
using velktest::readFileBytes;
using velktest::writeFileBytes;

struct HostRun {
  int status = -1;
  std::string out;
  std::string err;
};

// Runs velk-host with `args` in the current environment (the test's
// temporary home), with standard output and error caught in files of `dir`.
HostRun velkHost(const velktest::TempDir& dir, std::vector<std::string> args) {
  const std::string outPath = dir.file("stdout");
  const std::string errPath = dir.file("stderr");
  args.insert(args.begin(), VELK_HOST);
  std::vector<char*> argv;
  argv.reserve(args.size() + 1);
  for (std::string& arg : args) {
    argv.push_back(arg.data());
  }
  argv.push_back(nullptr);
  const pid_t child = ::fork();
  if (child == 0) {
    const int out = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (out < 0 || err < 0 || ::dup2(out, 1) < 0 || ::dup2(err, 2) < 0) {
      ::_exit(127);
    }
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  HostRun run;
  int status = 0;
  if (child < 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status)) {
    ADD_FAILURE() << "velk-host did not run to its end";
    return run;
  }
  run.status = WEXITSTATUS(status);
  run.out = readFileBytes(outPath);
  run.err = readFileBytes(errPath);
  return run;
}

TEST(VelkHostTest, BadArgumentsAndUnreadableFilesGiveOneLineAndTouchNothing) {
  velktest::TempHome home;
  velktest::TempDir files;
  const std::string der = files.file("cert.der");
  const velktest::MadeCertificate made =
      CertificateFactory::make({0x01}, CertificateFactory::daysFromToday(30));
  writeFileBytes(der, std::string(made.der.begin(), made.der.end()));
  writeFileBytes(files.file("empty"), "");
  writeFileBytes(files.file("broken.pem"),
                 "-----BEGIN CERTIFICATE-----\n!!!\n-----END CERTIFICATE-----\n");
  const std::vector<std::vector<std::string>> invocations = {
      {},
      {"bogus"},
      {"record"},
      {"record", "--class", "A"},
      {"record", der},
      {"record", "--class", "a", der},
      {"record", "--class", "AS", der},
      {"record", "--class", "", der},
      {"record", "--class", "A", der, "extra"},
      {"record", "--class", "A", files.file("missing.der")},
      {"record", "--class", "A", files.path()},
      {"record", "--class", "A", files.file("empty")},
      {"record", "--class", "A", files.file("broken.pem")},
      {"reminder"},
      {"reminder", "yes"},
      {"list", "--all"},
  };
  for (const auto& args : invocations) {
    std::string shown;
    for (const std::string& arg : args) {
      shown += " '" + arg + "'";
    }
    const HostRun run = velkHost(files, args);
    EXPECT_NE(run.status, 0) << shown;
    EXPECT_EQ(run.out, "") << shown;
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << shown << ": " << run.err;
    EXPECT_EQ(run.err.rfind("velk-host: ", 0), 0U) << shown << ": " << run.err;
    // Not even the application directory is made.
    EXPECT_FALSE(std::filesystem::exists(home.appDir())) << shown;
  }
}

TEST(VelkHostTest, RecordsDerAndPemThenListsAndSetsTheReminder) {
  velktest::TempHome home;
  velktest::TempDir files;
  const velktest::MadeCertificate soon =
      CertificateFactory::make({0x01, 0x02}, CertificateFactory::daysFromToday(30));
  const velktest::MadeCertificate far =
      CertificateFactory::make({0xAB}, CertificateFactory::daysFromToday(900));
  const velktest::MadeCertificate expired =
      CertificateFactory::make({0x03}, CertificateFactory::daysFromToday(-1));
  writeFileBytes(files.file("soon.der"), std::string(soon.der.begin(), soon.der.end()));
  writeFileBytes(files.file("far.pem"), "some text before\n" + far.pem);
  writeFileBytes(files.file("expired.der"), std::string(expired.der.begin(), expired.der.end()));
  writeFileBytes(files.file("noise"), "not a certificate");

  HostRun run = velkHost(files, {"record", "--class", "A", files.file("soon.der")});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("recorded: class A, serial 0102"), std::string::npos) << run.out;

  run = velkHost(files, {"record", "--class", "S", files.file("far.pem")});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("recorded: class S, serial 00AB"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("2 records"), std::string::npos) << run.out;

  run = velkHost(files, {"record", "--class", "S", files.file("expired.der")});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("not kept: the certificate expired on"), std::string::npos) << run.out;

  const std::string before = readFileBytes(home.historyFile());
  run = velkHost(files, {"record", "--class", "A", files.file("noise")});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
  EXPECT_EQ(readFileBytes(home.historyFile()), before);

  run = velkHost(files, {"reminder", "on"});
  EXPECT_EQ(run.status, 0) << run.err;
  const std::string history = readFileBytes(home.historyFile());
  EXPECT_EQ(history.substr(0, 2), "1\n");
  EXPECT_EQ(history.substr(2), before.substr(2));

  run = velkHost(files, {"list"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("update reminder: on"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("  S      "), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("00AB"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("0102"), std::string::npos) << run.out;

  for (const char* command : {"record", "list", "reminder"}) {
    run = velkHost(files, {command, "--help"});
    EXPECT_EQ(run.status, 0) << command;
    EXPECT_NE(run.out.find("Usage:"), std::string::npos) << command;
  }
}

}  // namespace
