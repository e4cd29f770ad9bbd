#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "MedianReporter.h"

// What the benchmarks that compare a framework job with its system-call floor
// share: a temporary home, whole-file helpers, the log lines of one job, and
// a run whose repetitions take turns.

// A fresh temporary folder made the application's home (call it before any
// other thread runs: it sets the environment): XDG_DATA_HOME is
// <root>/data and XDG_STATE_HOME <root>/state. Returns <root>; "" (after a
// message) when the folder cannot be made.
std::string makeBenchHome();

// The whole file; "" when it cannot be read.
std::string readAll(const std::string& path);

// Writes all of `text` to `fd`; stops at the first failed write.
void writeAll(int fd, const std::string& text);

// The lines (each with its line feed) that one call of `job` adds to the log
// file `log`. Calls `job` again when the log rotated meanwhile.
std::vector<std::string> logLinesOf(const std::string& log, const std::function<void()>& job);

// Their total size in bytes.
std::size_t totalSize(const std::vector<std::string>& lines);

// The floor of logging `lines`: one write(2) per line to `fd` (opened with
// O_APPEND), and the file started afresh once it reaches the size at which
// the real log rotates.
void writeLogLines(int fd, const std::vector<std::string>& lines);

// Runs the registered benchmarks into `reporter`, their repetitions taking
// turns in random order so that all see the same machine, however loaded (a
// flag on the command line wins).
void runInterleaved(int argc, char** argv, MedianReporter& reporter);
