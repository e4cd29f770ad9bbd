#pragma once

#include <PCSC/winscard.h>
#include <sys/types.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>

#include "VelkCommon/FileDescriptor.h"

// Waits, through PC/SC, for cards put in a reader (readers plugged in later
// included), without polling and without a command to a card while nothing
// happens; calls readCards for each card put in and for the cards present at
// the start, with a check it calls once it has read them: whether they stayed
// in their readers throughout. Runs `velk-host remind --ui auto` as a child
// process at the start, after each card that readCards recorded (returned 0)
// and every
// `remindEvery`, never two at once. Carries on, one line on standard error
// each time, when pcscd is missing, goes away or refuses access (waiting for
// it with a growing back-off, at once when its socket reappears) and when a
// reader goes away.
class CardWatcher {
 public:
  using ReadCards = std::function<int(const std::function<bool()>& stayed)>;

  CardWatcher(ReadCards readCards, std::chrono::seconds remindEvery);

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
  void setContext(SCARDCONTEXT context);

  ReadCards readCards_;
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
