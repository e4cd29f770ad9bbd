#include "appkit/Window.h"

#include <functional>

#include "appkit/Application.h"
#include "appkit/Button.h"
#include "appkit/Class.h"
#include "appkit/Event.h"
#include "appkit/EventBackend.h"
#include "appkit/Notification.h"
#include "appkit/View.h"
#include "appkit/ViewController.h"

namespace appkit {

namespace {

// The title bar's close button sends "performClose:" to its window.
const bool registered = Class::define<Window>(
    "Window", {{"performClose:", [](Object& window, const std::any&) -> std::any {
                  dynamic_cast<Window&>(window).performClose();
                  return {};
                }}});

// The first view under `root` (itself included, depth first) that `matches`.
std::shared_ptr<View> findView(const std::shared_ptr<View>& root,
                               const std::function<bool(const View&)>& matches) {
  if (root == nullptr || matches(*root)) {
    return root;
  }
  for (const auto& subview : root->subviews()) {
    if (auto found = findView(subview, matches)) {
      return found;
    }
  }
  return nullptr;
}

}  // namespace

Window::~Window() {
  try {
    orderOut();
  } catch (...) {
    // A destructor must not throw; the window is gone either way.
  }
}

std::shared_ptr<Window> Window::windowWithContentViewController(
    const std::shared_ptr<ViewController>& controller) {
  auto window = std::make_shared<Window>();
  window->contentViewController_ = controller;
  controller->view()->window_ = window;
  return window;
}

std::shared_ptr<View> Window::contentView() const {
  return contentViewController_ != nullptr ? contentViewController_->view() : nullptr;
}

std::string Window::title() const {
  return contentViewController_ != nullptr ? contentViewController_->title() : std::string();
}

bool Window::isKeyWindow() const { return Application::shared().keyWindow().get() == this; }

void Window::makeKeyAndOrderFront() {
  if (!visible_) {
    contentViewController_->viewWillAppear();
    visible_ = true;
    Application::shared().keyWindow_ = sharedAs<Window>();
    if (EventBackend* backend = Application::shared().eventBackend()) {
      backend->displayWindow(*this);
    }
    contentViewController_->viewDidAppear();
  }
  Application::shared().keyWindow_ = sharedAs<Window>();
}

void Window::orderOut() {
  if (!visible_) {
    return;
  }
  contentViewController_->viewWillDisappear();
  visible_ = false;
  Application& application = Application::shared();
  if (application.keyWindow_.lock().get() == this) {
    application.keyWindow_.reset();
  }
  if (EventBackend* backend = application.eventBackend()) {
    backend->windowDidOrderOut(*this);
  }
}

void Window::close() {
  if (auto delegate = delegate_.lock()) {
    delegate->performSelector("windowWillClose:",
                              Notification(std::string(WillCloseNotification), sharedAs<Window>()));
  }
  orderOut();
}

void Window::performClose() {
  if ((styleMask_ & WindowStyleMaskClosable) != 0) {
    close();
  }
}

std::shared_ptr<Button> Window::standardWindowButton(WindowButton /*button*/) {
  if (closeButton_ == nullptr) {
    closeButton_ = std::make_shared<Button>();
    closeButton_->setAction("performClose:");
    closeButton_->setTarget(sharedAs<Window>());
    closeButton_->window_ = sharedAs<Window>();
  }
  return closeButton_;
}

std::shared_ptr<View> Window::firstResponder() const {
  const auto content = contentView();
  if (auto focused =
          findView(content, [](const View& view) { return view.isAccessibilityFocused(); })) {
    return focused;
  }
  return findView(content,
                  [](const View& view) { return dynamic_cast<const Button*>(&view) != nullptr; });
}

void Window::sendEvent(const Event& event) {
  if (event.type() == EventType::KeyDown) {
    if (auto responder = firstResponder()) {
      responder->keyDown(event);
    }
  } else if (auto view = event.view(); view != nullptr && view->window().get() == this) {
    view->mouseDown(event);
  }
}

}  // namespace appkit
