#include "appkit/Window.h"

#include <functional>

#include "appkit/Application.h"
#include "appkit/Button.h"
#include "appkit/ClassBuilder.h"
#include "appkit/Event.h"
#include "appkit/Notification.h"
#include "appkit/View.h"
#include "appkit/ViewController.h"

namespace appkit {

namespace {

void describe(ClassBuilder<Window, Responder>& cls) {
  cls.method("performClose:", &Window::performClose);
}
[[maybe_unused]] const bool registered =
    ClassBuilder<Window, Responder>::define("Window", describe);

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
  if (visible_) {
    try {
      leaveScreen();
    } catch (...) {
      // A destructor must not throw; the window is gone either way.
    }
  }
}

std::shared_ptr<Window> Window::windowWithContentViewController(
    const std::shared_ptr<ViewController>& controller) {
  auto window = std::make_shared<Window>();
  window->setContentViewController(controller);
  return window;
}

void Window::setContentViewController(const std::shared_ptr<ViewController>& controller) {
  if (auto old = contentView()) {
    old->window_.reset();
  }
  contentViewController_ = controller;
  if (controller != nullptr) {
    controller->view()->window_ = sharedAs<Window>();
  }
}

std::shared_ptr<View> Window::contentView() const {
  if (contentViewController_ == nullptr || !contentViewController_->isViewLoaded()) {
    return nullptr;
  }
  return contentViewController_->view();
}

std::string Window::title() const {
  if (title_) {
    return *title_;
  }
  return contentViewController_ != nullptr ? contentViewController_->title() : std::string();
}

bool Window::isKeyWindow() const { return Application::shared().keyWindow().get() == this; }

void Window::makeKeyAndOrderFront(const std::any& /*sender*/) {
  auto self = sharedAs<Window>();
  if (!visible_) {
    if (contentViewController_ != nullptr) {
      contentViewController_->viewWillAppear();
    }
    visible_ = true;
    Application::shared().makeKeyWindow(self);
    display();
    if (contentViewController_ != nullptr) {
      contentViewController_->viewDidAppear();
    }
  } else {
    Application::shared().makeKeyWindow(self);
  }
}

void Window::orderOut(const std::any& /*sender*/) {
  if (visible_) {
    leaveScreen();
  }
}

void Window::leaveScreen() {
  if (contentViewController_ != nullptr) {
    contentViewController_->viewWillDisappear();
  }
  visible_ = false;
  Application::shared().windowDidOrderOut(*this);
}

void Window::close() {
  auto self = sharedAs<Window>();
  if (auto delegate = this->delegate()) {
    delegate->performSelector("windowWillClose:",
                              Notification(std::string(WillCloseNotification), self));
  }
  orderOut({});
}

void Window::performClose(const std::any& /*sender*/) {
  if ((styleMask_ & WindowStyleMaskClosable) != 0) {
    close();
  }
}

std::shared_ptr<Button> Window::standardWindowButton(WindowButton /*button*/) {
  if (closeButton_ == nullptr) {
    closeButton_ = std::make_shared<Button>();
    closeButton_->setTitle("x");
    closeButton_->setAction("performClose:");
    auto self = sharedAs<Window>();
    closeButton_->setTarget(self);
    closeButton_->window_ = self;
  }
  return closeButton_;
}

std::shared_ptr<Responder> Window::firstResponder() const {
  auto content = contentView();
  if (auto focused =
          findView(content, [](const View& view) { return view.isAccessibilityFocused(); })) {
    return focused;
  }
  if (auto button = findView(content, [](const View& view) {
        return dynamic_cast<const Button*>(&view) != nullptr;
      })) {
    return button;
  }
  return content;
}

void Window::display() {
  if (visible_) {
    Application::shared().displayWindow(*this);
  }
}

void Window::sendEvent(const Event& event) {
  if (event.type() == EventType::KeyDown) {
    if (auto responder = firstResponder()) {
      responder->keyDown(event);
    }
    return;
  }
  if (auto view = event.view(); view != nullptr && view->window().get() == this) {
    view->mouseDown(event);
  }
}

}  // namespace appkit
