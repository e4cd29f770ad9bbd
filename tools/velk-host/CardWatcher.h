#pragma once

#include <PCSC/winscard.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>

#include "VelkCommon/FileDescriptor.h"

// Waits, through PC/SC, for cards put in a reader (readers plugged in later
// included), without polling and without a command to a card while nothing
// happens. Each card put in, and the cards present at the start, are read
// and recorded by a child process, `velk-host watch --read-cards`, so that no
// PKCS#11 module (nor what it leaves behind) stays in the agent; the child
// holds the signals blocked and so is never cut in a recording. Runs
// `velk-host remind --ui auto` as a child process at the start, after each
// card recorded and every `remindEvery`, never two at once. Carries on, one
// line on standard error each time, when pcscd is missing, goes away or
// refuses access (waiting for it with a growing back-off, at once when its
// socket reappears), when a reader goes away and when a card is taken out
// during its read.
class CardWatcher {
 public:
  explicit CardWatcher(std::chrono::seconds remindEvery);

  // Watches until SIGTERM or SIGINT, which are then handled only here and
  // stop it after the card being read (if any) is recorded; returns 0.
  int run();

 private:
  // Watches the readers of `context` until it fails (returns why) or the
  // watcher stops.
  LONG watchReaders(SCARDCONTEXT context);
  // Waits for signals and the daily reminder; on SIGTERM or SIGINT, wakes
  // run() until it is done.
  void handleSignals();
  // Runs the reminder, or once more after the one running; with mutex_ held.
  void remind();
  // Reads and records the cards in a child process; its exit status.
  int readCards();
  void setContext(SCARDCONTEXT context);

  std::chrono::seconds remindEvery_;
  std::atomic<bool> stopping_{false};
  std::atomic<bool> done_{false};
  std::condition_variable doneChanged_;
  std::mutex mutex_;  // guards what follows
  SCARDCONTEXT context_ = 0;
  pid_t reminder_ = 0;
  bool remindAgain_ = false;
  FileDescriptor wake_;  // an eventfd, readable once the watcher stops
};
