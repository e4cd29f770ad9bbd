#pragma once

#include <functional>
#include <sstream>
#include <string>

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

  // Runs `action` once, when the next window has come on screen and before
  // it reads any input.
  void whenShown(std::function<void()> action) { whenShown_ = std::move(action); }

 private:
  class Backend;

  std::istringstream input_;
  std::ostringstream output_;
  std::function<void()> whenShown_;
};

}  // namespace velktest
