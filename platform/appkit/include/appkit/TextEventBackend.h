#pragma once

#include <iostream>
#include <optional>

#include "appkit/AppKitExport.h"
#include "appkit/EventBackend.h"

namespace appkit {

// Plain text windows for scripts and tests. When a window comes on screen it
// is written to the output stream: a "== title ==" line, the first table as
// "| title | title |" header, rule and one line per row (cells padded to a
// common display width), and each button as "[ title ]". Input is one event
// per line:
//   click       presses the window's focused button
//   close       the title bar's close button
//   alt+c, c, cmd+c, alt+shift+c, ctrl+c, space, enter, ...
//               a key press: modifiers (alt, shift, cmd, ctrl) joined by '+'
//               to a key, a single character or space, enter, tab, escape;
//               shift makes a letter upper case
// Blank lines are skipped; other lines get an "unknown input" line on the
// output.
class VELKAPPKIT_EXPORT TextEventBackend : public EventBackend {
 public:
  // Reads `input` and writes `output` (standard input and output by
  // default); both must outlive the backend.
  explicit TextEventBackend(std::istream& input = std::cin, std::ostream& output = std::cout)
      : input_(input), output_(output) {}

  bool displayWindow(Window& window) override;
  std::optional<Input> nextInput(Window& window) override;

 private:
  std::istream& input_;
  std::ostream& output_;
};

}  // namespace appkit
