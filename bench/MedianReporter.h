#pragma once

#include <benchmark/benchmark.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

// The console report, which also keeps the median real time of every
// benchmark that ran with repetitions, so that a program can compare two of
// them after the run.
class MedianReporter : public benchmark::ConsoleReporter {
 public:
  struct Median {
    double realMicroseconds;
    double cpuMicroseconds;
  };

  // Plain text: the program prints its own lines around the table.
  MedianReporter() : ConsoleReporter(OO_Tabular) {}

  void ReportRuns(const std::vector<Run>& reports) override;

  // The median real and CPU time per iteration of the benchmark `name`;
  // none when it did not run with repetitions.
  std::optional<Median> median(const std::string& name) const;

 private:
  std::map<std::string, Median> medians_;
};
