#include "CardWatcher.h"

#include <poll.h>
#include <spawn.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

namespace {

using std::chrono::milliseconds;
using Clock = std::chrono::steady_clock;

constexpr milliseconds kFirstRetry{100};
constexpr milliseconds kLastRetry{60000};
constexpr milliseconds kSettle{500};
constexpr int kReadLimit = 60000;  // ms
constexpr const char* kPnp = R"(\\?PnP?\Notification)";

void say(const std::string& line) { std::cerr << "velk-host watch: " << line << '\n'; }

sigset_t handledSignals() {
  sigset_t set{};
  sigemptyset(&set);
  for (const int each : {SIGTERM, SIGINT, SIGCHLD}) {
    sigaddset(&set, each);
  }
  return set;
}

// The names of the readers of `context`, one after another, each ended by
// '\0'; none (or only '\0's) when there are none.
std::string readerNames(SCARDCONTEXT context, LONG& result) {
  DWORD size = 0;
  result = SCardListReaders(context, nullptr, nullptr, &size);
  std::string names(result == SCARD_S_SUCCESS ? size : 0, '\0');
  if (!names.empty()) {
    result = SCardListReaders(context, nullptr, names.data(), &size);
  }
  result = result == SCARD_E_NO_READERS_AVAILABLE ? SCARD_S_SUCCESS : result;
  return names;
}

// Whether the cards that arrived in the readers of `states` are still there
// kSettle from now: a module may leave out what a card pulled out during its
// read kept it from reading, and pcscd tells of the card gone within its poll
// interval.
bool cardsStayed(SCARDCONTEXT context, const std::vector<SCARD_READERSTATE>& arrivals) {
  std::vector<SCARD_READERSTATE> states = arrivals;
  const Clock::time_point until = Clock::now() + kSettle;
  for (;;) {
    for (std::size_t i = 0; i < states.size(); ++i) {
      states[i].dwCurrentState = states[i].dwEventState;
      if ((states[i].dwEventState & SCARD_STATE_PRESENT) == 0 ||
          states[i].dwEventState >> 16U != arrivals[i].dwEventState >> 16U) {
        return false;
      }
    }
    const auto left = std::chrono::duration_cast<milliseconds>(until - Clock::now()).count();
    if (left <= 0 ||
        SCardGetStatusChange(context, left, states.data(), states.size()) != SCARD_S_SUCCESS) {
      return true;
    }
  }
}

// Runs velk-host with `argv` as a child process; its pid, or 0 after a line
// saying why it could not run. Its signals are those the agent handles,
// blocked, unless `unblocked`.
pid_t spawn(std::array<const char*, 5> argv, bool unblocked) {
  posix_spawnattr_t attributes{};
  posix_spawnattr_init(&attributes);
  const sigset_t none{};
  posix_spawnattr_setsigmask(&attributes, &none);
  posix_spawnattr_setflags(&attributes, unblocked ? POSIX_SPAWN_SETSIGMASK : 0);
  pid_t child = 0;
  const int failure = ::posix_spawn(&child, "/proc/self/exe", nullptr, &attributes,
                                    const_cast<char* const*>(argv.data()), environ);
  posix_spawnattr_destroy(&attributes);
  if (failure != 0) {
    say(std::string("cannot run velk-host ") + argv[1] + ": " +
        std::generic_category().message(failure));
  }
  return failure == 0 ? child : 0;
}

}  // namespace

CardWatcher::CardWatcher(std::chrono::seconds remindEvery)
    : remindEvery_(remindEvery), wake_(::eventfd(0, EFD_CLOEXEC)) {}

int CardWatcher::run() {
  const sigset_t signals = handledSignals();
  ::pthread_sigmask(SIG_BLOCK, &signals, nullptr);
  remind();  // no other thread yet
  // The folder of the socket through which libpcsclite reaches pcscd.
  const char* socket = std::getenv("PCSCLITE_CSOCK_NAME");  // NOLINT(concurrency-mt-unsafe)
  const std::string path = socket != nullptr ? socket : "/run/pcscd/pcscd.comm";
  const FileDescriptor events(::inotify_init1(IN_CLOEXEC | IN_NONBLOCK));
  ::inotify_add_watch(events.get(), path.substr(0, path.rfind('/') + 1).c_str(),
                      IN_CREATE | IN_MOVED_TO | IN_ATTRIB);
  std::thread signalThread(&CardWatcher::handleSignals, this);
  milliseconds retry = kFirstRetry;
  std::string fault;  // what keeps pcscd away, once said
  while (!stopping_) {
    SCARDCONTEXT context = 0;
    LONG result = SCardEstablishContext(SCARD_SCOPE_USER, nullptr, nullptr, &context);
    if (result == SCARD_S_SUCCESS) {
      if (!fault.empty()) {
        say("pcscd is back: watching the readers again");
        fault.clear();
      }
      const Clock::time_point since = Clock::now();
      setContext(context);
      result = watchReaders(context);
      setContext(0);
      SCardReleaseContext(context);
      retry = Clock::now() - since > kLastRetry ? kFirstRetry : retry;
    }
    if (stopping_) {
      break;
    }
    if (fault.empty()) {
      fault = pcsc_stringify_error(result);
      say("pcscd cannot be reached (" + fault + "): waiting for it");
    }
    // Until the retry is due, pcscd's socket changes or the watcher stops.
    std::array<pollfd, 2> waits{{{events.get(), POLLIN, 0}, {wake_.get(), POLLIN, 0}}};
    if (::poll(waits.data(), waits.size(), static_cast<int>(retry.count())) > 0) {
      std::array<char, 4096> drained{};
      while (::read(events.get(), drained.data(), drained.size()) > 0) {
      }
      retry = kFirstRetry;
    } else {
      retry = std::min(retry * 2, kLastRetry);
    }
  }
  done_ = true;
  doneChanged_.notify_all();
  signalThread.join();
  return 0;
}

LONG CardWatcher::watchReaders(SCARDCONTEXT context) {
  std::string names;
  std::vector<SCARD_READERSTATE> states(1);
  states[0].szReader = kPnp;
  for (bool relist = true; !stopping_;) {
    if (relist) {
      LONG result = SCARD_S_SUCCESS;
      std::string fresh = readerNames(context, result);
      if (result != SCARD_S_SUCCESS) {
        return result;
      }
      // A reader seen before keeps its state; a new one is learnt afresh.
      std::vector<SCARD_READERSTATE> next(states.begin(), states.begin() + 1);
      for (const char* name = fresh.c_str(); *name != '\0'; name += std::strlen(name) + 1) {
        const auto same = [name](const SCARD_READERSTATE& state) {
          return std::strcmp(state.szReader, name) == 0;
        };
        const auto known = std::find_if(states.begin() + 1, states.end(), same);
        next.push_back(
            {name, nullptr, known != states.end() ? known->dwCurrentState : 0, 0, 0, {}});
      }
      names.swap(fresh);
      states.swap(next);
    }
    const LONG result = SCardGetStatusChange(context, INFINITE, states.data(), states.size());
    if (result == SCARD_E_UNKNOWN_READER || result == SCARD_E_CANCELLED) {
      relist = true;
      continue;
    }
    if (result != SCARD_S_SUCCESS) {
      return result;
    }
    relist = (states[0].dwEventState & SCARD_STATE_CHANGED) != 0;
    std::vector<SCARD_READERSTATE> arrivals;
    for (SCARD_READERSTATE& state : states) {
      const DWORD was = state.dwCurrentState;
      const DWORD now = state.dwEventState;
      // Present and not mute, and it was not or has been taken out since
      // (the high 16 bits count a reader's card events).
      if ((now & (SCARD_STATE_PRESENT | SCARD_STATE_MUTE)) == SCARD_STATE_PRESENT &&
          ((was & SCARD_STATE_PRESENT) == 0 || (was >> 16U) != (now >> 16U))) {
        arrivals.push_back(state);
      }
      relist = relist || (now & (SCARD_STATE_UNKNOWN | SCARD_STATE_IGNORE)) != 0;
      state.dwCurrentState = now;
    }
    const int status = arrivals.empty() ? 1 : readCards();
    if (!arrivals.empty() && !cardsStayed(context, arrivals)) {
      say("the card was taken out during its read: not all may be recorded (put it in again)");
    } else if (status == 0) {
      const std::lock_guard lock(mutex_);
      remind();
    }
  }
  return SCARD_E_CANCELLED;
}

void CardWatcher::handleSignals() {
  const sigset_t signals = handledSignals();
  Clock::time_point due = Clock::now() + remindEvery_;
  for (int caught = 0; caught != SIGTERM && caught != SIGINT;) {
    const timespec timeout{
        std::max(0L, std::chrono::ceil<std::chrono::seconds>(due - Clock::now()).count()), 0};
    caught = ::sigtimedwait(&signals, nullptr, &timeout);
    const std::lock_guard lock(mutex_);
    if (caught == SIGCHLD) {
      while (reminder_ > 0 && ::waitpid(reminder_, nullptr, WNOHANG) == reminder_) {
        reminder_ = 0;
        if (std::exchange(remindAgain_, false)) {
          remind();
        }
      }
    } else if (caught < 0 && errno == EAGAIN) {
      due += remindEvery_;
      remind();
    }
  }
  stopping_ = true;
  std::unique_lock lock(mutex_);
  // Until run() is done: a cancel that comes before it waits is lost.
  while (!done_) {
    if (context_ != 0) {
      SCardCancel(context_);
    }
    ::eventfd_write(wake_.get(), 1);
    doneChanged_.wait_for(lock, milliseconds(100));
  }
}

void CardWatcher::remind() {
  if (reminder_ > 0 || stopping_) {
    remindAgain_ = reminder_ > 0;
    return;
  }
  reminder_ = spawn({"velk-host", "remind", "--ui", "auto", nullptr}, true);
}

int CardWatcher::readCards() {
  const pid_t reader = spawn({"velk-host", "watch", "--read-cards", nullptr, nullptr}, false);
  // A module that hangs is stopped: the agent goes on watching.
  const FileDescriptor exited(static_cast<int>(::syscall(SYS_pidfd_open, reader, 0)));
  pollfd ended{exited.get(), POLLIN, 0};
  if (reader > 0 && ::poll(&ended, 1, kReadLimit) == 0) {
    say("the card read did not end within a minute: stopped");
    ::kill(reader, SIGKILL);
  }
  int status = 1;
  return reader > 0 && ::waitpid(reader, &status, 0) == reader && WIFEXITED(status)
             ? WEXITSTATUS(status)
             : 1;
}

void CardWatcher::setContext(SCARDCONTEXT context) {
  const std::lock_guard lock(mutex_);
  context_ = context;
}
