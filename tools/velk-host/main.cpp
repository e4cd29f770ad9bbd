// velk-host: the host application through which a person runs the
// framework's jobs on the current user's certificate history.
//
//   velk-host record --class A|S FILE   record a certificate (DER or PEM)
//   velk-host scan [--module PATH] [--token LABEL] [--class A|S] [--login]
//                                       record the certificates on the card
//   velk-host list                      show the setting and the records
//   velk-host reminder on|off           set the update-reminder setting
//   velk-host remind [--ui auto|desktop|terminal|text]
//                                       run the reminder, then show the history
//   velk-host watch [--remind-every SECONDS]
//                                       record each card put in a reader, remind
//
// Exit status: 0 when the job was done, 1 when it failed, 2 for bad
// arguments; every failure is one line on standard error.

#include <CLI/CLI.hpp>

#include <algorithm>
#include <chrono>
#include <exception>
#include <iostream>
#include <string>
#include <utility>

#include "HostCommands.h"

namespace {

constexpr int kUsageError = 2;

// The parser's message on one line.
std::string oneLine(std::string text) {
  std::replace(text.begin(), text.end(), '\n', ' ');
  while (!text.empty() && text.back() == ' ') {
    text.pop_back();
  }
  return text;
}

// Parses the command line and runs the job it names; the exit status.
int run(int argc, char** argv) {
  CLI::App app{"Keeps the history of the certificates read from the identity card.", "velk-host"};
  app.require_subcommand(1);
  app.footer("Files: $XDG_DATA_HOME/velk/velk.dc_list (the history) and its lock file beside it.");

  std::string dcClass;
  std::string file;
  CLI::App* record = app.add_subcommand(
      "record", "Record a certificate read from the card, then show the history.");
  record->add_option("--class", dcClass, "the certificate's class: A or S")
      ->required()
      ->check(CLI::IsMember({"A", "S"}));
  record->add_option("FILE", file, "the certificate, DER or PEM")->required();

  std::string module;
  std::string token;
  std::string forcedClass;
  bool login = false;
  CLI::App* scan = app.add_subcommand(
      "scan",
      "Record every certificate on the card (the tokens of the PKCS#11 modules p11-kit "
      "registers), S for signing and A for authentication by its key usage, then show the "
      "history.");
  scan->add_option("--module", module,
                   "read only the tokens of this PKCS#11 module (for example "
                   "/usr/lib/x86_64-linux-gnu/opensc-pkcs11.so)");
  scan->add_option("--token", token, "read only the tokens of this label");
  scan->add_option("--class", forcedClass, "record every certificate with this class: A or S")
      ->check(CLI::IsMember({"A", "S"}));
  scan->add_flag("--login", login,
                 "log in to each token first, with the PIN asked for on the terminal (or one line "
                 "of standard input); a wrong PIN is not tried again");

  CLI::App* list = app.add_subcommand("list", "Show the update-reminder setting and the records.");

  std::string setting;
  CLI::App* reminder = app.add_subcommand("reminder", "Turn the update reminder on or off.");
  reminder->add_option("STATE", setting, "on or off")
      ->required()
      ->check(CLI::IsMember({"on", "off"}));

  std::string ui = "auto";
  CLI::App* remind = app.add_subcommand(
      "remind",
      "Show the certificates that expire within three months in the reminder window; once it is "
      "closed they (and the expired ones) leave the history, which is shown afterwards.");
  remind
      ->add_option("--ui", ui,
                   "how the window is shown: desktop (a real window; Alt+C or its button closes "
                   "it), terminal (full screen; Alt+C, Enter or Escape closes it), text (events "
                   "read from standard input: alt+c, click, close) or auto: desktop when a display "
                   "can be opened, else terminal when standard input and output are a terminal, "
                   "else no window, and the history stays as it is")
      ->check(CLI::IsMember({"auto", "desktop", "terminal", "text"}));

  int remindEvery = 24 * 60 * 60;
  CLI::App* watch = app.add_subcommand(
      "watch",
      "The per-session agent the login item starts: records the certificates of each card put in "
      "a reader (as scan does, never logging in) and runs the reminder at the start, after each "
      "card and once a day. One per session; SIGTERM stops it.");
  watch->add_option("--remind-every", remindEvery, "seconds between reminders while it runs")
      ->check(CLI::PositiveNumber);
  bool readCards = false;
  watch->add_flag("--read-cards", readCards)->group("");  // the agent's child that reads

  // Further jobs join here: a subcommand above, its dispatch below.

  // A first word that names no subcommand is named in the error (the parser
  // would only say that a subcommand is required).
  const auto names = [&](const CLI::App* command) { return command->check_name(argv[1]); };
  if (argc > 1 && argv[1][0] != '-' && std::as_const(app).get_subcommands(names).empty()) {
    std::cerr << "velk-host: unknown subcommand '" << argv[1] << "' (see velk-host --help)\n";
    return kUsageError;
  }
  try {
    app.parse(argc, argv);
  } catch (const CLI::Success& help) {
    return app.exit(help);
  } catch (const CLI::ParseError& error) {
    std::cerr << "velk-host: " << oneLine(error.what()) << " (see velk-host --help)\n";
    return kUsageError;
  }

  HostCommands::warnAboutOpenPermissions();
  if (*record) {
    return HostCommands::record(dcClass, file);
  }
  if (*scan) {
    return HostCommands::scan(module, token, forcedClass, login);
  }
  if (*list) {
    return HostCommands::list();
  }
  if (*reminder) {
    return HostCommands::reminder(setting == "on");
  }
  if (*remind) {
    return HostCommands::remind(ui);
  }
  if (*watch) {
    return HostCommands::watch(std::chrono::seconds(remindEvery), readCards);
  }
  return kUsageError;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    return run(argc, argv);
  } catch (const std::exception& error) {
    std::cerr << "velk-host: " << oneLine(error.what()) << '\n';
  } catch (...) {
    std::cerr << "velk-host: unexpected failure\n";
  }
  return 1;
}
