#pragma once

#include <functional>
#include <string>
#include <vector>

// Times a job against its floor: the two run alternately in one process,
// pair after pair, so that both see the same machine however its load
// changes, and each keeps the median of its real (monotonic clock) and CPU
// (process CPU clock) time. The CPU time is the steadier measure on a shared
// machine: it does not count waiting for a processor.
class PairedTimer {
 public:
  struct Median {
    double realMicroseconds = 0;
    double cpuMicroseconds = 0;
  };

  // `operations`: how many operations one call of the job (and of the floor)
  // does; the medians are reported per operation.
  explicit PairedTimer(int operations = 1) : operations_(operations) {}

  // Runs `pairs` pairs, the job first in every other pair. `between`, when
  // given, runs untimed before each pair.
  void run(int pairs, const std::function<void()>& job, const std::function<void()>& floor,
           const std::function<void()>& between = {});

  Median job() const;
  Median floor() const;

  // Prints the medians of both and their ratio, real and CPU time, and
  // whether the CPU-time ratio is within `goal` (none when it is 0), which it
  // returns.
  bool report(const std::string& title, const std::string& jobName, const std::string& floorName,
              double goal) const;

 private:
  struct Samples {
    std::vector<double> real;
    std::vector<double> cpu;
  };
  static void timeOnce(const std::function<void()>& call, Samples& into);
  Median median(const Samples& samples) const;

  int operations_;
  Samples job_;
  Samples floor_;
};
