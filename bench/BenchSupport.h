#pragma once

#include <functional>
#include <string>
#include <vector>

#include "VelkCommon/FileDescriptor.h"

// What the benchmark programs share: their home, the paired timing of a job
// against its floor, and the system calls the floors make.

// A fresh temporary folder made $HOME, with XDG_DATA_HOME and XDG_STATE_HOME
// unset as on most desktops, so the history is in <root>/.local/share/velk and
// the log in <root>/.local/state/velk/logs; removed with everything in it when
// the object goes. Make it before any other thread runs: it sets the
// environment. Aborts when the folder cannot be made.
struct BenchHome {
  BenchHome();
  ~BenchHome();
  BenchHome(const BenchHome&) = delete;
  BenchHome& operator=(const BenchHome&) = delete;

  std::string root;
};

// Prints `what` and aborts: the benchmark would measure nothing.
[[noreturn]] void fail(const char* what);

// The pair count from argv[at] when given, else `fallback`.
int pairsArgument(int argc, char** argv, int at, int fallback);

struct Timed {
  const char* name;
  std::function<void()> call;
};

// Times `job` against `floor`: the two run alternately in one process, `pairs`
// pairs, the job first in every other pair, so that both see the same machine
// however its load changes; `between`, when given, runs untimed before each
// pair. Prints the medians per operation (one call does `operations`) of the
// real (monotonic clock) and CPU (process CPU clock) time of both, their
// ratios, and whether the CPU-time ratio is within `goal` (none when 0). The
// CPU time is the steadier measure on a shared machine: it does not count
// waiting for a processor.
void timePairs(const char* title, int pairs, const Timed& job, const Timed& floor, double goal,
               int operations = 1, const std::function<void()>& between = {});

// The whole file; "" when it cannot be read.
std::string readAll(const std::string& path);

// The lines (each with its line feed) that one call of `job` adds to the
// update reminder's log, which must not rotate meanwhile; printed as what
// `what` writes: how many lines, how many bytes.
std::vector<std::string> logLinesOf(const char* what, const std::function<void()>& job);

// The floor's log file, opened with O_APPEND (created when missing).
struct FloorLog {
  explicit FloorLog(std::string path);

  // As the log writes `lines`: one write(2) per line, and a stat(2) of the
  // path after every 64th line (counted across calls, as the log counts).
  void write(const std::vector<std::string>& lines);

  // Empties this file and the update reminder's log once the log is past
  // half the size at which it rotates, so that neither a job nor its floor
  // rotates while they are timed: logger_bench measures rotation on its own.
  void keepBelowRotation() const;

  std::string path;
  FileDescriptor fd;
  int linesSinceCheck = 0;
};

// The floor of the inter-process lock: open (created when missing) and
// flock(2) the lock file; unlock and close when it goes.
struct FloorLock {
  explicit FloorLock(const std::string& path);
  ~FloorLock();
  FloorLock(const FloorLock&) = delete;
  FloorLock& operator=(const FloorLock&) = delete;

  FileDescriptor fd;
};

// The floor of checking a folder or file: one stat(2).
void statFloor(const std::string& path);

// The floor of reading a whole file: open, read(2) to its end, close.
void readFloor(const std::string& path);

// The floor of writing a whole file in place: open (created when missing),
// one pwrite(2) of `text` at offset 0, ftruncate to its length, close.
void writeFloor(const std::string& path, const std::string& text);
