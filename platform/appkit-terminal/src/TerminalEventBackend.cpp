#include "TerminalEventBackend.h"

#define NCURSES_WIDECHAR 1
#include <curses.h>
#include <langinfo.h>

#include <algorithm>
#include <array>
#include <climits>
#include <clocale>
#include <cwchar>
#include <iostream>
#include <numeric>
#include <string>
#include <string_view>

#include "TextLayout.h"
#include "appkit/WindowContents.h"

namespace appkit {

namespace {

constexpr wint_t kEscape = 27;
constexpr wint_t kControlW = 23;
// How long a key may follow Escape to count as Alt+key, in milliseconds.
constexpr int kAltDelay = 50;

// The key `code` in UTF-8, the character encoding resume() has chosen; the
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
    mvaddstr(y, x, TextLayout::fitToWidth(text, width).c_str());
  }
}

}  // namespace

TerminalEventBackend::~TerminalEventBackend() {
  if (screen_ != nullptr) {
    suspend();
    delscreen(screen_);
  }
}

bool TerminalEventBackend::resume() {
  if (screen_ == nullptr && !failed_) {
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
      return false;
    }
    set_term(screen_);
    cbreak();
    noecho();
    nonl();
    keypad(stdscr, TRUE);
    set_escdelay(kAltDelay);
    curs_set(0);
  }
  active_ = screen_ != nullptr;
  return active_;
}

void TerminalEventBackend::suspend() {
  if (active_) {
    endwin();
    active_ = false;
  }
}

bool TerminalEventBackend::displayWindow(Window& window) {
  if (!resume()) {
    return false;
  }
  const WindowContents contents = WindowContents::of(window);
  erase();
  attron(A_BOLD);
  const int titleWidth = std::min(TextLayout::displayWidth(contents.title), COLS);
  put(0, (COLS - titleWidth) / 2, contents.title, titleWidth);
  attroff(A_BOLD);
  int y = 2;
  if (!contents.columns.empty()) {
    std::vector<int> widths = TextLayout::columnWidths(contents.columns, contents.rows);
    // The widest columns narrow until the table, cells, blanks and rules, fits.
    const auto tableWidth = [&] {
      return std::accumulate(widths.begin(), widths.end(), 1,
                             [](int sum, int w) { return sum + w + 3; });
    };
    for (auto widest = std::max_element(widths.begin(), widths.end());
         tableWidth() > COLS && *widest > 1;
         widest = std::max_element(widths.begin(), widths.end())) {
      --*widest;
    }
    const int x = std::max(0, (COLS - tableWidth()) / 2);
    mvaddstr(y++, x, TextLayout::tableRule(widths, "┌", "─", "┬", "┐").c_str());
    mvaddstr(y++, x, TextLayout::tableRow(widths, contents.columns, "│").c_str());
    mvaddstr(y++, x, TextLayout::tableRule(widths, "├", "─", "┼", "┤").c_str());
    for (std::size_t row = 0; row < contents.rows.size() && y < LINES - 4; ++row) {
      mvaddstr(y++, x, TextLayout::tableRow(widths, contents.rows[row], "│").c_str());
    }
    mvaddstr(y++, x, TextLayout::tableRule(widths, "└", "─", "┴", "┘").c_str());
  }
  y += 1;
  int buttonsWidth = 0;
  for (const auto& title : contents.buttons) {
    buttonsWidth += TextLayout::displayWidth("[ " + title + " ]") + (buttonsWidth == 0 ? 0 : 3);
  }
  int x = std::max(0, (COLS - buttonsWidth) / 2);
  for (std::size_t i = 0; i < contents.buttons.size(); ++i) {
    const std::string label = "[ " + contents.buttons[i] + " ]";
    const int width = std::min(TextLayout::displayWidth(label), std::max(0, COLS - x));
    attr_set(static_cast<int>(i) == contents.focusedButton ? A_REVERSE : A_NORMAL, 0, nullptr);
    put(y, x, label, width);
    x += width + 3;
  }
  attr_set(A_DIM, 0, nullptr);
  put(LINES - 1, 0, "Enter/Space: press the button   Esc/Ctrl+W: close the window", COLS - 1);
  attr_set(A_NORMAL, 0, nullptr);
  refresh();
  return true;
}

void TerminalEventBackend::windowDidOrderOut(Window& /*window*/) { suspend(); }

std::optional<Input> TerminalEventBackend::nextInput(Window& window) {
  if (!resume()) {
    return std::nullopt;
  }
  for (;;) {
    wint_t key = 0;
    const int kind = get_wch(&key);
    if (kind == ERR) {
      return std::nullopt;
    }
    if (kind == KEY_CODE_YES) {
      if (key == KEY_ENTER) {
        return Input{.key = "\r"};
      }
      if (key == KEY_RESIZE) {
        displayWindow(window);
      }
      continue;
    }
    if (key == kEscape) {
      timeout(kAltDelay);
      wint_t next = 0;
      const int nextKind = get_wch(&next);
      timeout(-1);
      if (nextKind == OK && next > 0x20 && next != 0x7F) {
        return Input{.modifierFlags = EventModifierFlagOption, .key = utf8(next)};
      }
      return Input{.kind = Input::Kind::CloseButton};
    }
    if (key == kControlW) {
      return Input{.kind = Input::Kind::CloseButton};
    }
    if (key == '\r' || key == '\n') {
      return Input{.key = "\r"};
    }
    if (key >= 1 && key <= 26 && key != '\t') {
      return Input{.modifierFlags = EventModifierFlagControl,
                   .key = std::string(1, static_cast<char>('a' + key - 1))};
    }
    return Input{.key = utf8(key)};
  }
}

// The plugin's entry point, looked up by name when VelkAppKit loads it.
extern "C" __attribute__((visibility("default"))) bool velkAppKitBackend(
    std::unique_ptr<EventBackend>& backend, std::string& error) {
  static_assert(std::is_same_v<decltype(&velkAppKitBackend), EventBackend::PluginEntry>);
  try {
    backend = std::make_unique<TerminalEventBackend>();
    return true;
  } catch (const std::exception& failure) {
    error = failure.what();
    return false;
  }
}

}  // namespace appkit
