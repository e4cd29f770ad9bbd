// velk-host, run as a separate program the way a person runs it.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "CertificateFactory.h"
#include "foundation/DateFormatter.h"
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

// The mode bits of `path` (0755 and the like); -1 when it does not exist.
int modeOf(const std::string& path) {
  struct stat info = {};
  return ::stat(path.c_str(), &info) == 0 ? static_cast<int>(info.st_mode & 07777) : -1;
}

TEST(VelkHostTest, WhatItCreatesOnlyItsUserCanReadAndAnOpenFolderIsWarnedOf) {
  // A home as many systems still make them, no ~/.local yet, and umask 022.
  velktest::TempDir files;
  const std::string home = files.file("home");
  std::filesystem::create_directory(home);
  std::filesystem::permissions(home, std::filesystem::perms(0755));
  const velktest::ScopedEnv homeVariable("HOME", home);
  const velktest::ScopedEnv data("XDG_DATA_HOME", std::nullopt);
  const velktest::ScopedEnv state("XDG_STATE_HOME", std::nullopt);
  const ::mode_t umask = ::umask(022);
  const std::string soon = writeDer(files, "soon.der", {0x01}, 30);
  const HostRun record = runVelkHost(files, {"record", "--class", "A", soon});
  const HostRun remind = runVelkHost(files, {"remind", "--ui", "text"}, "alt+c\n");
  EXPECT_EQ(record.status, 0) << record.err;
  EXPECT_EQ(remind.status, 0) << remind.err;
  EXPECT_EQ(record.err + remind.err, "");
  for (const char* folder : {"/.local", "/.local/share", "/.local/share/velk", "/.local/state",
                             "/.local/state/velk", "/.local/state/velk/logs"}) {
    EXPECT_EQ(modeOf(home + folder), 0700) << folder;
  }
  for (const char* file : {"/.local/share/velk/velk.dc_list", "/.local/share/velk/lockfile",
                           "/.local/state/velk/logs/update-reminder.log"}) {
    EXPECT_EQ(modeOf(home + file), 0600) << file;
  }
  EXPECT_EQ(modeOf(home), 0755);

  // Folders and files that were there keep their modes, with a warning.
  const std::string folder = home + "/.local/share/velk";
  std::filesystem::permissions(folder, std::filesystem::perms(0755));
  std::filesystem::permissions(folder + "/velk.dc_list", std::filesystem::perms(0620));
  const HostRun list = runVelkHost(files, {"list"});
  ::umask(umask);
  EXPECT_EQ(list.status, 0) << list.err;
  EXPECT_EQ(list.err, "velk-host: warning: " + folder + " is readable by other users; chmod 700 " +
                          folder + "\n" + "velk-host: warning: " + folder + "/velk.dc_list" +
                          " is writable by other users; chmod 600 " + folder + "/velk.dc_list\n");
  EXPECT_EQ(modeOf(folder), 0755);
  EXPECT_EQ(modeOf(folder + "/velk.dc_list"), 0620);
}

constexpr const char* kSoftHsm = "/usr/lib/softhsm/libsofthsm2.so";
constexpr const char* kPin = "4321";

// SoftHSM2 tokens in a folder of their own, which the PKCS#11 module that
// p11-kit registers for SoftHSM2 (and velk-host after it) reads while it lives.
class SoftTokens {
 public:
  SoftTokens() : conf_("SOFTHSM2_CONF", dir_.file("softhsm2.conf")) {
    std::filesystem::create_directory(dir_.file("tokens"));
    writeFileBytes(dir_.file("softhsm2.conf"), "directories.tokendir = " + dir_.file("tokens") +
                                                   "\nobjectstore.backend = file\n");
  }

  // Makes an empty token labelled `label`.
  void add(const std::string& label) const {
    run("softhsm2-util --init-token --free --label " + label + " --pin " + kPin +
        " --so-pin 87654321");
  }

  // Writes the certificate `made` to the token `token` as object `label`;
  // a private one shows only after a login (pkcs11-tool cannot make those).
  void write(const std::string& token, const std::string& label,
             const velktest::MadeCertificate& made, bool isPrivate = false) const {
    writeFileBytes(dir_.file(label),
                   isPrivate ? made.pem : std::string(made.der.begin(), made.der.end()));
    run(isPrivate ? std::string("GNUTLS_PIN=") + kPin + " p11tool --provider " + kSoftHsm +
                        " --login --write --mark-private --load-certificate " + dir_.file(label) +
                        " --label " + label + " pkcs11:token=" + token
                  : std::string("pkcs11-tool --module ") + kSoftHsm + " --token-label " + token +
                        " --login --pin " + kPin + " --write-object " + dir_.file(label) +
                        " --type cert --id 01 --label " + label);
  }

 private:
  static void run(const std::string& command) {
    const std::string quiet = command + " >/dev/null";
    const int status = std::system(quiet.c_str());  // NOLINT(concurrency-mt-unsafe): one thread
    ASSERT_EQ(status, 0) << command;
  }

  velktest::TempDir dir_;
  velktest::ScopedEnv conf_;
};

velktest::MadeCertificate madeWith(std::uint8_t serial, int days, const std::string& keyUsage,
                                   const std::string& extendedKeyUsage = "",
                                   bool authority = false) {
  velktest::CertificateOptions options;
  options.serial = {serial};
  options.notAfter = CertificateFactory::daysFromToday(days);
  options.keyUsage = keyUsage;
  options.extendedKeyUsage = extendedKeyUsage;
  options.authority = authority;
  return CertificateFactory::make(options);
}

// The record's expiry text of a certificate that expires `days` from today.
std::string dayIn(int days) {
  foundation::DateFormatter formatter;
  formatter.setDateFormat("yyyy-MM-dd");
  return formatter.string(CertificateFactory::daysFromToday(days));
}

// The history's record lines without their recording times.
std::vector<std::string> recordsOf(const std::string& history) {
  std::vector<std::string> records;
  for (std::size_t at = history.find('\n'); at != std::string::npos && at + 1 < history.size();
       at = history.find('\n', at + 1)) {
    const std::string line = history.substr(at + 1, history.find('\n', at + 1) - at - 1);
    records.push_back(line.substr(0, line.rfind(',')));
  }
  std::sort(records.begin(), records.end());
  return records;
}

TEST(VelkHostTest, ScansTheCardsTokensAndRecordsEachEndEntityCertificateByItsUsage) {
  velktest::TempHome home;
  velktest::TempDir files;
  const SoftTokens tokens;
  // Every failure is one line, and not even the data folder is made.
  const auto fails = [&](const std::vector<std::string>& args, const std::string& reason,
                         const std::string& input = "") {
    const HostRun run = runVelkHost(files, args, input);
    EXPECT_EQ(run.status, 1) << args.back();
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
    EXPECT_EQ(run.err.rfind("velk-host: nothing recorded: ", 0), 0U) << run.err;
    EXPECT_NE(run.err.find(reason), std::string::npos) << run.err;
    EXPECT_FALSE(std::filesystem::exists(home.root() + "/data")) << args.back();
  };
  fails({"scan", "--module", files.file("missing.so")}, "cannot load the PKCS#11 module");
  // The system's trust store is a token too, but no card.
  fails({"scan"}, "no token present");
  fails({"scan", "--module", kSoftHsm}, "no token present");
  tokens.add("empty");
  fails({"scan", "--module", kSoftHsm}, "token 'empty' shows no certificates");
  tokens.add("card");
  fails({"scan", "--token", "other"}, "no token labelled 'other' present");

  const velktest::MadeCertificate auth = madeWith(0x0A, 100, "", "clientAuth");
  tokens.write("card", "auth", auth);
  tokens.write("card", "sign", madeWith(0x0B, 200, "digitalSignature,nonRepudiation"));
  tokens.write("card", "issuer", madeWith(0x0C, 900, "keyCertSign,cRLSign", "", true));
  tokens.write("card", "other", madeWith(0x0D, 300, "keyEncipherment", "serverAuth"));
  // The same certificate on a second token (as when two modules show one
  // card) is recorded and reported once.
  tokens.add("copy");
  tokens.write("copy", "auth", auth);
  const std::vector<std::string> expected = {"A,0A," + dayIn(100), "S,0B," + dayIn(200)};
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"scan"}, {"scan", "--module", kSoftHsm, "--token", "card"}}) {
    std::filesystem::remove_all(home.root() + "/data");
    const HostRun run = runVelkHost(files, args);
    EXPECT_EQ(run.status, 0) << run.err;
    // Either token's copy, whichever the module lists first.
    EXPECT_NE(run.out.find("recorded: class A, serial 0A, expires " + dayIn(100) + " (token '"),
              std::string::npos)
        << run.out;
    EXPECT_EQ(run.out.find("serial 0A,"), run.out.rfind("serial 0A,")) << run.out;
    EXPECT_NE(run.out.find("skipped: a CA certificate (token 'card', object 'issuer')"),
              std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("skipped: neither for signing"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("2 records"), std::string::npos) << run.out;
    EXPECT_EQ(recordsOf(readFileBytes(home.historyFile())), expected) << args.back();
  }
  const HostRun forced = runVelkHost(files, {"scan", "--class", "S"});
  EXPECT_EQ(forced.status, 0) << forced.err;
  EXPECT_EQ(recordsOf(readFileBytes(home.historyFile())),
            (std::vector<std::string>{"A,0A," + dayIn(100), "S,0A," + dayIn(100),
                                      "S,0B," + dayIn(200), "S,0D," + dayIn(300)}));

  // A certificate that shows only after a login; the PIN is read from
  // standard input and tried once.
  tokens.add("private");
  tokens.write("private", "hidden", madeWith(0x0E, 50, "digitalSignature"), true);
  std::filesystem::remove_all(home.root() + "/data");
  fails({"scan", "--token", "private"}, "(velk-host scan --login records them)");
  fails({"scan", "--token", "private", "--login"}, "not tried again", "1111\n");
  fails({"scan", "--token", "private", "--login"}, "no PIN given", "");
  HostRun run =
      runVelkHost(files, {"scan", "--token", "private", "--login"}, std::string(kPin) + "\n");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out.find(kPin), std::string::npos) << run.out;
  EXPECT_EQ(recordsOf(readFileBytes(home.historyFile())),
            std::vector<std::string>{"A,0E," + dayIn(50)});

  // A history locked elsewhere is waited for (10 s), then left as it is.
  const std::string before = readFileBytes(home.historyFile());
  const velktest::LockHolder holder(home.lockFile());
  ASSERT_TRUE(holder.holding());
  run = runVelkHost(files, {"scan", "--token", "card"});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err.rfind("velk-host: nothing recorded: the history is locked", 0), 0U) << run.err;
  EXPECT_EQ(readFileBytes(home.historyFile()), before);
}

}  // namespace
