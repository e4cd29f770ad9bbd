// velk-host, run as a separate program the way a person runs it.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "CertificateFactory.h"
#include "support/HostProcess.h"
#include "support/LockHolder.h"
#include "support/ScopedEnv.h"
#include "support/TempDir.h"
#include "support/TempHome.h"

namespace {

using velktest::CertificateFactory;
using velktest::readFileBytes;
using velktest::writeFileBytes;

using velktest::HostRun;
using velktest::runVelkHost;

// Writes a certificate with `serial` that expires `days` from today, DER
// encoded, into `dir` as `name`; returns its path.
std::string writeDer(const velktest::TempDir& dir, const std::string& name,
                     std::vector<std::uint8_t> serial, int days) {
  const velktest::MadeCertificate made =
      CertificateFactory::make(std::move(serial), CertificateFactory::daysFromToday(days));
  writeFileBytes(dir.file(name), std::string(made.der.begin(), made.der.end()));
  return dir.file(name);
}

TEST(VelkHostTest, BadArgumentsAndUnreadableFilesGiveOneLineAndTouchNothing) {
  velktest::TempHome home;
  velktest::TempDir files;
  const std::string der = writeDer(files, "cert.der", {0x01}, 30);
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
    const HostRun run = runVelkHost(files, args);
    EXPECT_NE(run.status, 0) << shown;
    EXPECT_EQ(run.out, "") << shown;
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << shown << ": " << run.err;
    EXPECT_EQ(run.err.rfind("velk-host: ", 0), 0U) << shown << ": " << run.err;
    // Not even the application directory is made.
    EXPECT_FALSE(std::filesystem::exists(home.appDir())) << shown;
  }
  EXPECT_NE(runVelkHost(files, {"bogus"}).err.find("unknown subcommand 'bogus'"),
            std::string::npos);
}

// Every path under `folder` with the bytes of the files among them.
std::map<std::string, std::string> contentsOf(const std::string& folder) {
  std::map<std::string, std::string> contents;
  if (std::filesystem::exists(folder)) {
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
      contents[entry.path()] = entry.is_regular_file() ? readFileBytes(entry.path()) : "";
    }
  }
  return contents;
}

TEST(VelkHostTest, RefusedRecordingsSayWhyAndLeaveTheDataFolderAsItWas) {
  velktest::TempHome home;
  velktest::TempDir files;
  const std::string data = home.root() + "/data";
  writeFileBytes(files.file("noise"), "not a certificate");
  writeFileBytes(files.file("huge"), "");
  std::filesystem::resize_file(files.file("huge"), std::size_t{2} << 20);
  const std::string good = writeDer(files, "good.der", {0x07}, 30);
  // Before there is any data folder, and with a history in it.
  for (const bool withHistory : {false, true}) {
    if (withHistory) {
      ASSERT_EQ(runVelkHost(files, {"record", "--class", "A", good}).status, 0);
    }
    const auto before = contentsOf(data);
    for (const std::string& input :
         {files.file("noise"), files.file("huge"), std::string("/dev/zero")}) {
      const HostRun run = runVelkHost(files, {"record", "--class", "A", input});
      EXPECT_EQ(run.status, 1) << input;
      EXPECT_EQ(run.err.rfind("velk-host: nothing recorded: ", 0), 0U) << run.err;
      EXPECT_NE(run.err.find(input), std::string::npos) << run.err;
      EXPECT_EQ(contentsOf(data), before) << input;
    }
  }
  // An expiry the history cannot hold: 9999-12-31 23:59:59 UTC is a day of
  // the year 10000 east of Greenwich.
  {
    const velktest::ScopedEnv tokyo("TZ", "Asia/Tokyo");
    velktest::CertificateOptions never;
    never.notAfter = CertificateFactory::utc(9999, 12, 31, 23, 59, 59);
    const velktest::MadeCertificate made = CertificateFactory::make(never);
    writeFileBytes(files.file("never.der"), std::string(made.der.begin(), made.der.end()));
    const auto unchanged = contentsOf(data);
    const HostRun run = runVelkHost(files, {"record", "--class", "S", files.file("never.der")});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err.rfind("velk-host: nothing recorded: the recording refused", 0), 0U)
        << run.err;
    EXPECT_NE(run.err.find("10000-01-01"), std::string::npos) << run.err;
    EXPECT_EQ(contentsOf(data), unchanged);
  }

  // A lock kept elsewhere is waited for once (10 s), then refused.
  const auto before = contentsOf(data);
  const velktest::LockHolder holder(home.lockFile());
  ASSERT_TRUE(holder.holding());
  const auto start = std::chrono::steady_clock::now();
  const HostRun run = runVelkHost(files, {"record", "--class", "A", good});
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(15));
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err.rfind("velk-host: nothing recorded: the history is locked", 0), 0U) << run.err;
  EXPECT_EQ(contentsOf(data), before);
}

TEST(VelkHostTest, RecordsListsSetsTheReminderAndRemindsWhereSomeoneSeesIt) {
  velktest::TempHome home;
  velktest::TempDir files;
  const velktest::MadeCertificate far =
      CertificateFactory::make({0xAB}, CertificateFactory::daysFromToday(900));
  writeDer(files, "soon.der", {0x01, 0x02}, 30);
  writeFileBytes(files.file("far.pem"), "some text before\n" + far.pem);
  writeDer(files, "expired.der", {0x03}, -1);

  HostRun run = runVelkHost(files, {"list"});
  EXPECT_EQ(run.out, "history: " + home.historyFile() + " (none yet)\n") << run.err;

  run = runVelkHost(files, {"record", "--class", "A", files.file("soon.der")});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("recorded: class A, serial 0102"), std::string::npos) << run.out;

  run = runVelkHost(files, {"record", "--class", "S", files.file("far.pem")});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("recorded: class S, serial 00AB"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("2 records"), std::string::npos) << run.out;

  run = runVelkHost(files, {"record", "--class", "S", files.file("expired.der")});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("not kept: the certificate expired on"), std::string::npos) << run.out;

  const std::string before = readFileBytes(home.historyFile());
  run = runVelkHost(files, {"reminder", "on"});
  EXPECT_EQ(run.status, 0) << run.err;
  const std::string history = readFileBytes(home.historyFile());
  EXPECT_EQ(history.substr(0, 2), "1\n");
  EXPECT_EQ(history.substr(2), before.substr(2));

  run = runVelkHost(files, {"list"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("update reminder: on"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("  S      "), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("00AB"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("0102"), std::string::npos) << run.out;

  // Asked for the full-screen window without a terminal: nothing is touched.
  run = runVelkHost(files, {"remind", "--ui", "terminal"}, "alt+c\n");
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
  EXPECT_EQ(readFileBytes(home.historyFile()), history);
  EXPECT_EQ(runVelkHost(files, {"remind", "--ui", "window"}).status, 2);

  // Nobody to see a window (no display, no terminal): nothing is removed.
  {
    const velktest::ScopedEnv noX("DISPLAY", std::nullopt);
    const velktest::ScopedEnv noWayland("WAYLAND_DISPLAY", std::nullopt);
    run = runVelkHost(files, {"remind"}, "alt+c\n");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(readFileBytes(home.historyFile()), history);
    EXPECT_EQ(runVelkHost(files, {"remind", "--ui", "desktop"}).status, 1);
    EXPECT_EQ(readFileBytes(home.historyFile()), history);
  }

  // The text window, closed by the input.
  run = runVelkHost(files, {"remind", "--ui", "text"}, "c\nalt+c\n");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("| 種別"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("| 利用者証明用 | 0102"), std::string::npos) << run.out;
  EXPECT_EQ(run.out.find("00AB"), run.out.rfind("00AB")) << "only the history lists it";
  const std::string after = readFileBytes(home.historyFile());
  EXPECT_EQ(after.find("0102"), std::string::npos) << after;
  EXPECT_NE(after.find("00AB"), std::string::npos) << after;

  // Nothing left to show: no window, the history as it was.
  run = runVelkHost(files, {"remind", "--ui", "text"}, "");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out.find("| 種別"), std::string::npos) << run.out;
  EXPECT_EQ(readFileBytes(home.historyFile()), after);

  for (const char* command : {"record", "list", "reminder"}) {
    run = runVelkHost(files, {command, "--help"});
    EXPECT_EQ(run.status, 0) << command;
    EXPECT_NE(run.out.find("Usage:"), std::string::npos) << command;
  }
}

}  // namespace
