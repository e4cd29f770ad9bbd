#include "appkit/TextEventBackend.h"

#include <iostream>
#include <map>
#include <string>
#include <string_view>

#include "DisplayWidth.h"
#include "appkit/Window.h"
#include "appkit/WindowContents.h"

namespace appkit {

namespace {

std::string trimmed(const std::string& line) {
  const auto begin = line.find_first_not_of(" \t\r");
  if (begin == std::string::npos) {
    return {};
  }
  return line.substr(begin, line.find_last_not_of(" \t\r") - begin + 1);
}

struct KeyPress {
  EventModifierFlags modifierFlags;
  std::string key;
};

// "alt+shift+c" and the like: modifiers joined by '+' to a key.
std::optional<KeyPress> parseKeyPress(const std::string& word) {
  static const std::map<std::string, EventModifierFlags, std::less<>> modifiers = {
      {"alt", EventModifierFlagOption},      {"option", EventModifierFlagOption},
      {"shift", EventModifierFlagShift},     {"cmd", EventModifierFlagCommand},
      {"command", EventModifierFlagCommand}, {"ctrl", EventModifierFlagControl},
      {"control", EventModifierFlagControl}};
  static const std::map<std::string, std::string, std::less<>> namedKeys = {
      {"space", " "}, {"enter", "\r"}, {"return", "\r"}, {"tab", "\t"}, {"escape", "\x1b"}};
  EventModifierFlags flags = 0;
  std::string_view rest = word;
  for (auto plus = rest.find('+'); plus != std::string_view::npos && plus + 1 < rest.size();
       plus = rest.find('+')) {
    auto modifier = modifiers.find(rest.substr(0, plus));
    if (modifier == modifiers.end()) {
      return std::nullopt;
    }
    flags |= modifier->second;
    rest.remove_prefix(plus + 1);
  }
  if (auto named = namedKeys.find(rest); named != namedKeys.end()) {
    return KeyPress{flags, named->second};
  }
  if (rest.size() != 1 || static_cast<unsigned char>(rest[0]) < 0x21 ||
      static_cast<unsigned char>(rest[0]) > 0x7E) {
    return std::nullopt;
  }
  return KeyPress{flags, std::string(rest)};
}

}  // namespace

TextEventBackend::TextEventBackend() : TextEventBackend(std::cin, std::cout) {}

TextEventBackend::TextEventBackend(std::istream& input, std::ostream& output)
    : input_(input), output_(output) {}

void TextEventBackend::displayWindow(Window& window) {
  const WindowContents contents = WindowContents::of(window);
  output_ << "== " << contents.title << " ==\n";
  if (contents.hasTable) {
    const std::vector<int> widths = contents.columnWidths();
    auto line = [&](const std::vector<std::string>& cells) {
      for (std::size_t i = 0; i < widths.size(); ++i) {
        output_ << "| " << fitToWidth(i < cells.size() ? cells[i] : "", widths[i]) << ' ';
      }
      output_ << "|\n";
    };
    line(contents.columns);
    for (const int width : widths) {
      output_ << '|' << std::string(static_cast<std::size_t>(width) + 2, '-');
    }
    output_ << "|\n";
    for (const auto& row : contents.rows) {
      line(row);
    }
  }
  for (const auto& button : contents.buttons) {
    output_ << "[ " << button << " ]\n";
  }
  output_.flush();
}

void TextEventBackend::windowDidOrderOut(Window& /*window*/) {}

std::optional<Event> TextEventBackend::nextEvent(const std::shared_ptr<Window>& window) {
  std::string line;
  while (std::getline(input_, line)) {
    const std::string word = trimmed(line);
    if (word.empty()) {
      continue;
    }
    if (word == "close") {
      return closeButtonClick(window);
    }
    if (word == "click") {
      if (auto click = focusedButtonClick(window)) {
        return click;
      }
      output_ << "no button to click\n";
    } else if (auto press = parseKeyPress(word)) {
      return keyPress(press->modifierFlags, press->key, window);
    } else {
      output_ << "unknown input: " << word << '\n';
    }
    output_.flush();
  }
  return endOfInput(window);
}

}  // namespace appkit
