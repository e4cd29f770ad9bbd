#include "appkit/TextEventBackend.h"

#include <map>
#include <string>
#include <string_view>

#include "TextLayout.h"
#include "appkit/WindowContents.h"

namespace appkit {

namespace {

// "alt+shift+c" and the like, modifiers joined by '+' to a key, as that key
// press; nothing for any other word.
std::optional<Input> parseKeyPress(std::string_view word) {
  static const std::map<std::string_view, EventModifierFlags> kModifiers = {
      {"alt", EventModifierFlagOption},
      {"shift", EventModifierFlagShift},
      {"cmd", EventModifierFlagCommand},
      {"ctrl", EventModifierFlagControl}};
  static const std::map<std::string_view, std::string> kNamedKeys = {
      {"space", " "}, {"enter", "\r"}, {"tab", "\t"}, {"escape", "\x1b"}};
  Input press;
  for (auto plus = word.find('+'); plus != std::string_view::npos && plus + 1 < word.size();
       plus = word.find('+')) {
    const auto modifier = kModifiers.find(word.substr(0, plus));
    if (modifier == kModifiers.end()) {
      return std::nullopt;
    }
    press.modifierFlags |= modifier->second;
    word.remove_prefix(plus + 1);
  }
  const auto named = kNamedKeys.find(word);
  if (named == kNamedKeys.end() && (word.size() != 1 || word[0] < 0x21 || word[0] > 0x7E)) {
    return std::nullopt;
  }
  press.key = named != kNamedKeys.end() ? named->second : std::string(word);
  return press;
}

}  // namespace

bool TextEventBackend::displayWindow(Window& window) {
  const WindowContents contents = WindowContents::of(window);
  output_ << "== " << contents.title << " ==\n";
  if (!contents.columns.empty()) {
    const std::vector<int> widths = TextLayout::columnWidths(contents.columns, contents.rows);
    output_ << TextLayout::tableRow(widths, contents.columns, "|") << '\n'
            << TextLayout::tableRule(widths, "|", "-", "|", "|") << '\n';
    for (const auto& row : contents.rows) {
      output_ << TextLayout::tableRow(widths, row, "|") << '\n';
    }
  }
  for (const auto& button : contents.buttons) {
    output_ << "[ " << button << " ]\n";
  }
  output_.flush();
  return true;
}

std::optional<Input> TextEventBackend::nextInput(Window& /*window*/) {
  for (std::string line; std::getline(input_, line);) {
    const auto begin = line.find_first_not_of(" \t\r");
    if (begin == std::string::npos) {
      continue;
    }
    const std::string word = line.substr(begin, line.find_last_not_of(" \t\r") - begin + 1);
    if (word == "close" || word == "click") {
      return Input{.kind = word == "close" ? Input::Kind::CloseButton : Input::Kind::ButtonPress};
    }
    if (auto press = parseKeyPress(word)) {
      return press;
    }
    output_ << "unknown input: " << word << '\n' << std::flush;
  }
  return std::nullopt;
}

}  // namespace appkit
