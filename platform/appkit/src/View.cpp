#include "appkit/View.h"

#include <charconv>
#include <stdexcept>
#include <string>

#include "appkit/Coder.h"
#include "appkit/Window.h"

namespace appkit {

namespace {

int decodeSide(const Coder& coder, const char* key) {
  const std::string text = coder.decodeString(key).value_or("0");
  int value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || value < 0 || value > 10000) {
    throw std::invalid_argument("view " + std::string(key) + " \"" + text +
                                "\" is not a whole number from 0 to 10000");
  }
  return value;
}

}  // namespace

View::View(const Coder& coder)
    : width_(decodeSide(coder, "width")), height_(decodeSide(coder, "height")) {}

std::shared_ptr<Window> View::window() const {
  for (const View* view = this; view != nullptr; view = view->superview_.lock().get()) {
    if (auto window = view->window_.lock()) {
      return window;
    }
  }
  return nullptr;
}

void View::addSubview(const std::shared_ptr<View>& view) {
  view->superview_ = sharedAs<View>();
  subviews_.push_back(view);
}

}  // namespace appkit
