#pragma once

#include <string>

// The application's home for one benchmark program: a fresh temporary folder
// made $HOME, with XDG_DATA_HOME and XDG_STATE_HOME unset as on most
// desktops, so the history is in <root>/.local/share/velk and the log in
// <root>/.local/state/velk/logs; removed with everything in it when the
// object goes. Make it before any other thread runs: it sets the environment.
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
  std::string log() const { return root_ + "/.local/state/velk/logs/update-reminder.log"; }

 private:
  std::string root_;
};
