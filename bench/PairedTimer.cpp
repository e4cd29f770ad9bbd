#include "PairedTimer.h"

#include <time.h>  // NOLINT(modernize-deprecated-headers): clock_gettime

#include <algorithm>
#include <cstdio>

namespace {

double microseconds(clockid_t clock) {
  timespec now{};
  ::clock_gettime(clock, &now);
  return static_cast<double>(now.tv_sec) * 1e6 + static_cast<double>(now.tv_nsec) / 1e3;
}

double middle(std::vector<double> values) {
  if (values.empty()) {
    return 0;
  }
  const auto mid = values.begin() + static_cast<std::ptrdiff_t>(values.size() / 2);
  std::nth_element(values.begin(), mid, values.end());
  return *mid;
}

}  // namespace

void PairedTimer::timeOnce(const std::function<void()>& call, Samples& into) {
  const double cpu = microseconds(CLOCK_PROCESS_CPUTIME_ID);
  const double real = microseconds(CLOCK_MONOTONIC);
  call();
  into.real.push_back(microseconds(CLOCK_MONOTONIC) - real);
  into.cpu.push_back(microseconds(CLOCK_PROCESS_CPUTIME_ID) - cpu);
}

void PairedTimer::run(int pairs, const std::function<void()>& job,
                      const std::function<void()>& floor, const std::function<void()>& between) {
  for (int pair = 0; pair < pairs; ++pair) {
    if (between) {
      between();
    }
    if (pair % 2 == 0) {
      timeOnce(job, job_);
      timeOnce(floor, floor_);
    } else {
      timeOnce(floor, floor_);
      timeOnce(job, job_);
    }
  }
}

PairedTimer::Median PairedTimer::median(const Samples& samples) const {
  return {middle(samples.real) / operations_, middle(samples.cpu) / operations_};
}

PairedTimer::Median PairedTimer::job() const { return median(job_); }

PairedTimer::Median PairedTimer::floor() const { return median(floor_); }

bool PairedTimer::report(const std::string& title, const std::string& jobName,
                         const std::string& floorName, double goal) const {
  const Median job = this->job();
  const Median floor = this->floor();
  const double realRatio =
      floor.realMicroseconds > 0 ? job.realMicroseconds / floor.realMicroseconds : 0;
  const double cpuRatio =
      floor.cpuMicroseconds > 0 ? job.cpuMicroseconds / floor.cpuMicroseconds : 0;
  const bool met = goal <= 0 || (cpuRatio > 0 && cpuRatio <= goal);
  std::printf("%s: %zu pairs, medians per operation\n", title.c_str(), job_.cpu.size());
  std::printf("  %-28s real %12.3f us   CPU %12.3f us\n", jobName.c_str(), job.realMicroseconds,
              job.cpuMicroseconds);
  std::printf("  %-28s real %12.3f us   CPU %12.3f us\n", floorName.c_str(), floor.realMicroseconds,
              floor.cpuMicroseconds);
  std::printf("  ratio                        real %12.2f      CPU %12.2f", realRatio, cpuRatio);
  if (goal > 0) {
    std::printf("      goal (CPU) <= %.2f %s", goal, met ? "met" : "MISSED");
  }
  std::printf("\n");
  return met;
}
