#include "support/TextScreen.h"

#include <iterator>
#include <memory>
#include <utility>

#include "appkit/Application.h"
#include "appkit/TextEventBackend.h"

namespace velktest {

class TextScreen::Backend : public appkit::TextEventBackend {
 public:
  explicit Backend(TextScreen& screen)
      : appkit::TextEventBackend(screen.input_, screen.output_), screen_(screen) {}

  bool displayWindow(appkit::Window& window) override {
    const bool shown = appkit::TextEventBackend::displayWindow(window);
    if (auto action = std::exchange(screen_.whenShown_, nullptr)) {
      action();
    }
    return shown;
  }

 private:
  TextScreen& screen_;
};

TextScreen::TextScreen() {
  appkit::Application::shared().setEventBackend(std::make_unique<Backend>(*this));
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
