#include "appkit/TerminalEventBackend.h"

#define NCURSES_WIDECHAR 1
#include <curses.h>
#include <langinfo.h>

#include <algorithm>
#include <array>
#include <climits>
#include <clocale>
#include <cstdio>
#include <cwchar>
#include <iostream>
#include <numeric>
#include <string>
#include <string_view>

#include "DisplayWidth.h"
#include "appkit/Window.h"
#include "appkit/WindowContents.h"

namespace appkit {

namespace {

constexpr wint_t kEscape = 27;
constexpr wint_t kControlW = 23;
// How long a key may follow Escape to count as Alt+key, in milliseconds.
constexpr int kAltDelay = 50;

// The key `code` in UTF-8, the character encoding start() has chosen; the
// replacement character for what has no encoding (a surrogate, say).
std::string utf8(wint_t code) {
  std::array<char, MB_LEN_MAX> bytes{};
  std::mbstate_t state{};
  // NOLINTNEXTLINE(concurrency-mt-unsafe): with a state of its own it shares nothing
  const std::size_t length = std::wcrtomb(bytes.data(), static_cast<wchar_t>(code), &state);
  return length == static_cast<std::size_t>(-1) ? "\xEF\xBF\xBD"
                                                : std::string(bytes.data(), length);
}

// Writes `text` at (y, x), cut to `width` columns and padded to them.
void put(int y, int x, std::string_view text, int width) {
  if (width > 0) {
    mvaddstr(y, x, fitToWidth(text, width).c_str());
  }
}

// Narrows the widest columns until the table, cells plus blanks and rules,
// fits `available` columns.
void fitColumns(std::vector<int>& widths, int available) {
  auto total = [&] {
    return std::accumulate(widths.begin(), widths.end(), 0,
                           [](int sum, int w) { return sum + w + 3; }) +
           1;
  };
  while (!widths.empty() && total() > available) {
    auto widest = std::max_element(widths.begin(), widths.end());
    if (*widest <= 1) {
      break;
    }
    --*widest;
  }
}

// One rule of the table: left, a line per column with joints between, right.
void rule(int y, int x, const std::vector<int>& widths, std::string_view left,
          std::string_view joint, std::string_view right) {
  std::string line(left);
  for (std::size_t i = 0; i < widths.size(); ++i) {
    for (int n = 0; n < widths[i] + 2; ++n) {
      line += "─";
    }
    line += i + 1 < widths.size() ? joint : right;
  }
  mvaddstr(y, x, line.c_str());
}

void cells(int y, int x, const std::vector<int>& widths, const std::vector<std::string>& texts) {
  std::string line = "│";
  for (std::size_t i = 0; i < widths.size(); ++i) {
    line += " " + fitToWidth(i < texts.size() ? texts[i] : "", widths[i]) + " │";
  }
  mvaddstr(y, x, line.c_str());
}

}  // namespace

// The curses screen on standard input and output, set up when a window first
// needs it, suspended while no window is on screen.
class TerminalEventBackend::Screen {
 public:
  Screen() = default;
  ~Screen() {
    if (screen_ != nullptr) {
      suspend();
      delscreen(screen_);
    }
  }
  Screen(const Screen&) = delete;
  Screen& operator=(const Screen&) = delete;

  // True when the screen is ready to draw on.
  bool resume() {
    if (screen_ == nullptr && !failed_) {
      start();
    }
    if (screen_ != nullptr) {
      active_ = true;
    }
    return screen_ != nullptr;
  }

  void suspend() {
    if (active_) {
      endwin();
      active_ = false;
    }
  }

 private:
  void start() {
    // Wide characters need a UTF-8 character type: the user's, else C.UTF-8.
    // Windows are shown from the main thread only, which makes these safe.
    const char* locale = std::setlocale(LC_CTYPE, "");  // NOLINT(concurrency-mt-unsafe)
    if (locale == nullptr ||
        std::string_view(nl_langinfo(CODESET)) != "UTF-8") {  // NOLINT(concurrency-mt-unsafe)
      std::setlocale(LC_CTYPE, "C.UTF-8");                    // NOLINT(concurrency-mt-unsafe)
    }
    screen_ = newterm(nullptr, stdout, stdin);
    if (screen_ == nullptr) {
      failed_ = true;
      const char* term = std::getenv("TERM");  // NOLINT(concurrency-mt-unsafe)
      std::cerr << "appkit: cannot use the terminal (TERM=" << (term != nullptr ? term : "")
                << ")\n";
      return;
    }
    set_term(screen_);
    cbreak();
    noecho();
    nonl();
    keypad(stdscr, TRUE);
    set_escdelay(kAltDelay);
    curs_set(0);
  }

  SCREEN* screen_ = nullptr;
  bool active_ = false;
  bool failed_ = false;
};

TerminalEventBackend::TerminalEventBackend() : screen_(std::make_unique<Screen>()) {}

TerminalEventBackend::~TerminalEventBackend() = default;

void TerminalEventBackend::displayWindow(Window& window) {
  if (!screen_->resume()) {
    return;
  }
  const WindowContents contents = WindowContents::of(window);
  erase();
  attron(A_BOLD);
  const int titleWidth = std::min(displayWidth(contents.title), COLS);
  put(0, (COLS - titleWidth) / 2, contents.title, titleWidth);
  attroff(A_BOLD);
  int y = 2;
  if (contents.hasTable && !contents.columns.empty()) {
    std::vector<int> widths = contents.columnWidths();
    fitColumns(widths, COLS);
    const int tableWidth = std::accumulate(widths.begin(), widths.end(), 1,
                                           [](int sum, int w) { return sum + w + 3; });
    const int x = std::max(0, (COLS - tableWidth) / 2);
    rule(y++, x, widths, "┌", "┬", "┐");
    cells(y++, x, widths, contents.columns);
    rule(y++, x, widths, "├", "┼", "┤");
    for (const auto& row : contents.rows) {
      if (y >= LINES - 4) {
        break;
      }
      cells(y++, x, widths, row);
    }
    rule(y++, x, widths, "└", "┴", "┘");
  }
  y += 1;
  std::string line;
  for (const auto& title : contents.buttons) {
    line += (line.empty() ? "" : "   ") + std::string("[ ") + title + " ]";
  }
  int x = std::max(0, (COLS - displayWidth(line)) / 2);
  for (std::size_t i = 0; i < contents.buttons.size(); ++i) {
    const std::string label = "[ " + contents.buttons[i] + " ]";
    const int width = std::min(displayWidth(label), std::max(0, COLS - x));
    if (static_cast<int>(i) == contents.focusedButton) {
      attron(A_REVERSE);
    }
    put(y, x, label, width);
    attroff(A_REVERSE);
    x += width + 3;
  }
  attron(A_DIM);
  put(LINES - 1, 0, "Enter/Space: press the button   Esc/Ctrl+W: close the window", COLS - 1);
  attroff(A_DIM);
  refresh();
}

void TerminalEventBackend::windowDidOrderOut(Window& /*window*/) { screen_->suspend(); }

std::optional<Event> TerminalEventBackend::nextEvent(const std::shared_ptr<Window>& window) {
  if (!screen_->resume()) {
    return std::nullopt;
  }
  for (;;) {
    wint_t key = 0;
    const int kind = get_wch(&key);
    if (kind == ERR) {
      return endOfInput(window);
    }
    if (kind == KEY_CODE_YES) {
      if (key == KEY_RESIZE) {
        displayWindow(*window);
      } else if (key == KEY_ENTER) {
        return keyPress(0, "\r", window);
      }
      continue;
    }
    if (key == kEscape) {
      timeout(kAltDelay);
      wint_t next = 0;
      const int nextKind = get_wch(&next);
      timeout(-1);
      if (nextKind == OK && next > 0x20 && next != 0x7F) {
        return keyPress(EventModifierFlagOption, utf8(next), window);
      }
      return closeButtonClick(window);
    }
    if (key == kControlW) {
      return closeButtonClick(window);
    }
    if (key == '\r' || key == '\n') {
      return keyPress(0, "\r", window);
    }
    if (key >= 1 && key <= 26 && key != '\t') {
      return keyPress(EventModifierFlagControl, std::string(1, static_cast<char>('a' + key - 1)),
                      window);
    }
    return keyPress(0, utf8(key), window);
  }
}

}  // namespace appkit
