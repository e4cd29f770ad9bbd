#pragma once

#include <sstream>
#include <string>
#include <vector>

namespace velktest {

// The application's event backend for a test: the text backend, reading the
// user's input given to type() and writing what it draws into output().
// Installed for the object's lifetime; the application has no backend
// afterwards.
class TextScreen {
 public:
  TextScreen();
  ~TextScreen();
  TextScreen(const TextScreen&) = delete;
  TextScreen& operator=(const TextScreen&) = delete;

  // Replaces the input with `input`, one event per line.
  void type(const std::string& input);
  // The input not read so far.
  std::string unreadInput();

  // Everything drawn so far.
  std::string output() const { return output_.str(); }
  // The trimmed cells of the column header line of the tables drawn (the
  // line above a "|---" rule); empty when none was drawn.
  std::vector<std::string> tableHeader() const;
  // The trimmed cells of the table rows drawn (the "|" lines after a rule).
  std::vector<std::vector<std::string>> tableRows() const;

 private:
  std::istringstream input_;
  std::ostringstream output_;
};

}  // namespace velktest
