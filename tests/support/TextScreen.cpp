#include "support/TextScreen.h"

#include <iterator>
#include <memory>

#include "appkit/Application.h"
#include "appkit/TextEventBackend.h"

namespace velktest {

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

}  // namespace velktest
