#include "appkit/Window.h"

#include "appkit/Application.h"
#include "appkit/EventBackend.h"
#include "appkit/Notification.h"
#include "appkit/View.h"
#include "appkit/ViewController.h"

namespace appkit {

namespace {

// The first view under `view` (itself included, depth first) that has
// accessibility focus.
std::shared_ptr<View> focusedView(const std::shared_ptr<View>& view) {
  if (view->isAccessibilityFocused()) {
    return view;
  }
  for (const auto& subview : view->subviews()) {
    if (auto found = focusedView(subview)) {
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

std::shared_ptr<View> Window::contentView() const { return contentViewController_->view(); }

std::string Window::title() const { return contentViewController_->title(); }

bool Window::isKeyWindow() const { return Application::shared().keyWindow().get() == this; }

void Window::makeKeyAndOrderFront() {
  Application& application = Application::shared();
  application.keyWindow_ = sharedAs<Window>();
  if (!visible_) {
    contentViewController_->viewWillAppear();
    visible_ = true;
    application.windowShown_ =
        application.backend_ != nullptr && application.backend_->displayWindow(*this);
    contentViewController_->viewDidAppear();
  }
}

void Window::orderOut() {
  if (!visible_) {
    return;
  }
  contentViewController_->viewWillDisappear();
  visible_ = false;
  Application& application = Application::shared();
  if (isKeyWindow()) {
    application.keyWindow_.reset();
  }
  if (application.backend_ != nullptr) {
    application.backend_->windowDidOrderOut(*this);
  }
}

void Window::performClose() {
  if ((styleMask_ & WindowStyleMaskClosable) != 0) {
    if (auto delegate = delegate_.lock()) {
      delegate->performSelector(
          "windowWillClose:", Notification{std::string(WillCloseNotification), sharedAs<Window>()});
    }
    orderOut();
  }
}

std::shared_ptr<View> Window::firstResponder() const { return focusedView(contentView()); }

}  // namespace appkit
