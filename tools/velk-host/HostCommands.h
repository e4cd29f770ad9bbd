#pragma once

#include <chrono>
#include <string>

// The jobs velk-host runs for a person, each on the history of the current
// user's application directory. Each returns the process's exit status: 0
// when the job was done, 1 after a one-line message on standard error.
class HostCommands {
 public:
  HostCommands() = delete;

  // Hands the certificate in the file at `path` (DER or PEM) to the
  // recording entry point with class `dcClass`, then prints whether the
  // history now holds it and what the history holds. Returns 0 when it is
  // recorded or was dropped at once as expired; 1 when it was not recorded
  // (not a certificate, refused by the recording, or not in the history
  // afterwards: a failure the log tells of, or trimmed behind ten records of
  // the same second). When the file cannot be read or is empty, returns 1
  // before anything is recorded or touched.
  static int record(const std::string& dcClass, const std::string& path);

  // Records, as record() does, each end-entity certificate on the tokens
  // that TokenScanner::scan(module, token, login) reads, with the class its
  // usage gives (CertificateUsage), or `dcClass` for all when it is not
  // empty; prints a line for each, skipped ones with the reason, then the
  // history. Returns 0 when at least one was recorded; 1 after a line on
  // standard error otherwise, having written nothing when the tokens cannot
  // be read or the history is locked. A read cut short records what was
  // read whole, then returns 1 after a line saying not all was read.
  static int scan(const std::string& module, const std::string& token, const std::string& dcClass,
                  bool login);

  // The per-session agent (CardWatcher): records, as scan() does but never
  // logging in, the certificates of each card put in a reader (and of those
  // in one at the start), each time in a child process that runs this with
  // `readCards`; runs `velk-host remind` at the start, after each card and
  // every `remindEvery`. Returns 1 at once when another agent holds the
  // session's lock ($XDG_RUNTIME_DIR/velk-host-watch.lock); 0 after SIGTERM
  // or SIGINT.
  static int watch(std::chrono::seconds remindEvery, bool readCards);

  // Prints the update-reminder setting and the records of the history, read
  // under the inter-process lock. Changes nothing.
  static int list();

  // Sets the update-reminder setting (line 1 of the history) under the lock,
  // creating the history when it is missing; the records stay as they are.
  static int reminder(bool on);

  // Runs the reminder (alert()) with its window drawn by the backend `ui`:
  // "desktop" (a real window), "terminal" (full screen), "text" (standard
  // input and output) or "auto" (EventBackend::automatic(): with no window at
  // all, the reminder gives up and the history stays as it was). Then prints
  // the history as list() does. Returns 1 before anything is touched when
  // "desktop" or "terminal" cannot be used.
  static int remind(const std::string& ui);

  // Warns on standard error, one line each, when other users may read or
  // change the application directory or the history; changes nothing.
  static void warnAboutOpenPermissions();
};
