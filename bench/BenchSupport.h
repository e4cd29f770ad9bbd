#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

// What the benchmarks that compare a framework job with its system-call floor
// share: whole-file helpers, the log lines of one job, and the floor's own
// system calls.

// The whole file; "" when it cannot be read.
std::string readAll(const std::string& path);

// The lines (each with its line feed) that one call of `job` adds to the log
// file `log`, which must not rotate meanwhile.
std::vector<std::string> logLinesOf(const std::string& log, const std::function<void()>& job);

// Their total size in bytes.
std::size_t totalSize(const std::vector<std::string>& lines);

// The floor of logging `lines`: one write(2) per line to `fd` (opened with
// O_APPEND), and the log's size check, an lseek(2), after every 64th line
// (counted across calls, as the log counts them).
void writeLogLines(int fd, const std::vector<std::string>& lines);

// The floor of checking a folder or file: one stat(2).
void statFloor(const std::string& path);

// The floor of reading a whole file: open, fstat (its size, checked against
// the largest history), read(2) to its end, close.
void readFloor(const std::string& path);

// The floor of writing a whole file in place: open (created when missing),
// one pwrite(2) of `text` at offset 0, ftruncate to its length, close.
void writeFloor(const std::string& path, const std::string& text);

// Empties the log file `log` and the floor's log `floorLog` once the log is
// past half the size at which it rotates, so that neither a job nor its floor
// rotate while they are timed: rotation is measured on its own.
void keepBelowRotation(const std::string& log, int floorLog);

// An O_APPEND descriptor on `path` (created when missing); -1 on failure.
int openAppend(const std::string& path);
