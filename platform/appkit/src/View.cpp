#include "appkit/View.h"

#include <algorithm>

#include "appkit/ClassBuilder.h"
#include "appkit/Coder.h"
#include "appkit/ViewController.h"
#include "appkit/Window.h"

namespace appkit {

namespace {
[[maybe_unused]] const bool registered =
    ClassBuilder<View, Responder>::define("View", [](auto& /*cls*/) {});
}  // namespace

View::View(const Coder& coder) : identifier_(coder.decodeString("id").value_or("")) {}

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
