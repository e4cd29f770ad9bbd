#include "appkit/ViewController.h"

#include <utility>

#include "appkit/ClassBuilder.h"
#include "appkit/Coder.h"
#include "appkit/View.h"
#include "appkit/Window.h"

namespace appkit {

namespace {
[[maybe_unused]] const bool registered =
    ClassBuilder<ViewController, Responder>::define("ViewController", [](auto& /*cls*/) {});
}  // namespace

ViewController::ViewController(std::optional<std::string> nibName,
                               std::shared_ptr<Bundle> nibBundle)
    : nibName_(std::move(nibName)), nibBundle_(std::move(nibBundle)) {}

ViewController::ViewController(const Coder& coder)
    : title_(coder.decodeString("title").value_or("")) {}

ViewController::~ViewController() = default;

std::shared_ptr<View> ViewController::view() {
  if (view_ == nullptr) {
    loadView();
    if (view_ == nullptr) {
      setView(std::make_shared<View>());
    }
    viewDidLoad();
  }
  return view_;
}

void ViewController::setView(const std::shared_ptr<View>& view) {
  if (view_ != nullptr) {
    view_->viewController_.reset();
  }
  view_ = view;
  if (view_ != nullptr) {
    view_->viewController_ = sharedAs<ViewController>();
  }
}

void ViewController::loadView() {
  auto loader = std::exchange(viewLoader_, nullptr);
  setView(loader ? loader(*this) : std::make_shared<View>());
}

std::shared_ptr<Responder> ViewController::nextResponder() const {
  if (view_ == nullptr) {
    return nullptr;
  }
  if (auto superview = view_->superview()) {
    return superview;
  }
  return view_->window_.lock();
}

}  // namespace appkit
