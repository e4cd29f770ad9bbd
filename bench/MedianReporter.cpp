#include "MedianReporter.h"

void MedianReporter::ReportRuns(const std::vector<Run>& reports) {
  for (const Run& run : reports) {
    if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median") {
      // The times as the console shows them, in the run's unit.
      const double toMicroseconds = 1e6 / benchmark::GetTimeUnitMultiplier(run.time_unit);
      medians_[run.run_name.function_name] = {run.GetAdjustedRealTime() * toMicroseconds,
                                              run.GetAdjustedCPUTime() * toMicroseconds};
    }
  }
  ConsoleReporter::ReportRuns(reports);
}

std::optional<MedianReporter::Median> MedianReporter::median(const std::string& name) const {
  const auto found = medians_.find(name);
  if (found == medians_.end()) {
    return std::nullopt;
  }
  return found->second;
}
