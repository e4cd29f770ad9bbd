#include "appkit/View.h"

#include <algorithm>
#include <charconv>
#include <stdexcept>

#include "appkit/ClassBuilder.h"
#include "appkit/Coder.h"
#include "appkit/ViewController.h"
#include "appkit/Window.h"

namespace appkit {

namespace {
[[maybe_unused]] const bool registered =
    ClassBuilder<View, Responder>::define("View", [](auto& /*cls*/) {});

constexpr int kLargestSide = 10000;

int decodeSide(const Coder& coder, std::string_view key) {
  const std::string text = coder.decodeString(key).value_or("0");
  int value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || value < 0 ||
      value > kLargestSide) {
    throw std::invalid_argument("view " + std::string(key) + " \"" + text +
                                "\" is not a whole number from 0 to 10000");
  }
  return value;
}

}  // namespace

View::View(const Coder& coder)
    : identifier_(coder.decodeString("id").value_or("")),
      frameSize_{decodeSide(coder, "width"), decodeSide(coder, "height")} {}

std::shared_ptr<Window> View::window() const {
  for (const View* view = this; view != nullptr;) {
    if (auto window = view->window_.lock()) {
      return window;
    }
    view = view->superview_.lock().get();
  }
  return nullptr;
}

void View::addSubview(const std::shared_ptr<View>& view) {
  if (view == nullptr) {
    return;
  }
  for (const View* ancestor = this; ancestor != nullptr;
       ancestor = ancestor->superview_.lock().get()) {
    if (ancestor == view.get()) {
      return;
    }
  }
  if (auto previous = view->superview()) {
    auto& siblings = previous->subviews_;
    siblings.erase(std::remove(siblings.begin(), siblings.end(), view), siblings.end());
  }
  view->superview_ = sharedAs<View>();
  subviews_.push_back(view);
}

std::shared_ptr<Responder> View::nextResponder() const {
  if (auto controller = viewController_.lock()) {
    return controller;
  }
  if (auto superview = superview_.lock()) {
    return superview;
  }
  return window_.lock();
}

}  // namespace appkit
