#include "support/TextScreen.h"

#include <iterator>
#include <memory>

#include "appkit/Application.h"
#include "appkit/TextEventBackend.h"

namespace velktest {

namespace {

// "| a | b |" gives {"a", "b"}.
std::vector<std::string> cells(const std::string& line) {
  std::vector<std::string> result;
  std::size_t start = line.find('|');
  while (start != std::string::npos) {
    const std::size_t end = line.find('|', start + 1);
    if (end == std::string::npos) {
      break;
    }
    std::string cell = line.substr(start + 1, end - start - 1);
    const auto first = cell.find_first_not_of(' ');
    cell = first == std::string::npos ? ""
                                      : cell.substr(first, cell.find_last_not_of(' ') - first + 1);
    result.push_back(cell);
    start = end;
  }
  return result;
}

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> result;
  std::istringstream stream(text);
  for (std::string line; std::getline(stream, line);) {
    result.push_back(line);
  }
  return result;
}

bool isRule(const std::string& line) { return line.starts_with("|-"); }

}  // namespace

TextScreen::TextScreen() {
  appkit::Application::shared().setEventBackend(
      std::make_unique<appkit::TextEventBackend>(input_, output_));
}

TextScreen::~TextScreen() { appkit::Application::shared().setEventBackend(nullptr); }

void TextScreen::type(const std::string& input) {
  input_.clear();
  input_.str(input);
}

std::string TextScreen::unreadInput() {
  return {std::istreambuf_iterator<char>(input_), std::istreambuf_iterator<char>()};
}

std::vector<std::string> TextScreen::tableHeader() const {
  const std::vector<std::string> all = lines(output());
  for (std::size_t i = 1; i < all.size(); ++i) {
    if (isRule(all[i])) {
      return cells(all[i - 1]);
    }
  }
  return {};
}

std::vector<std::vector<std::string>> TextScreen::tableRows() const {
  std::vector<std::vector<std::string>> rows;
  bool inTable = false;
  for (const std::string& line : lines(output())) {
    if (isRule(line)) {
      inTable = true;
    } else if (inTable && line.starts_with("| ")) {
      rows.push_back(cells(line));
    } else {
      inTable = false;
    }
  }
  return rows;
}

}  // namespace velktest
