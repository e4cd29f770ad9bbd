#pragma once

#include <string>

// The application's home for one benchmark program: a fresh temporary folder
// holding XDG_DATA_HOME (<root>/data, the history) and XDG_STATE_HOME
// (<root>/state, the log), removed with everything in it when the object
// goes. Make it before any other thread runs: it sets the environment.
class BenchHome {
 public:
  BenchHome();
  ~BenchHome();
  BenchHome(const BenchHome&) = delete;
  BenchHome& operator=(const BenchHome&) = delete;

  // False (after a message) when the folder could not be made.
  bool valid() const { return !root_.empty(); }
  const std::string& root() const { return root_; }
  // The log file the framework writes.
  std::string log() const { return root_ + "/state/velk/logs/update-reminder.log"; }

 private:
  std::string root_;
};
