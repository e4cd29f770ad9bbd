#include "QtEventBackend.h"

#include <QEventLoop>
#include <utility>

#include "appkit/Button.h"
#include "appkit/Window.h"

QtEventBackend::QtEventBackend(std::string platform) {
  arguments_.emplace_back("velk-appkit");
  if (!platform.empty()) {
    arguments_.emplace_back("-platform");
    arguments_.push_back(std::move(platform));
  }
}

QtEventBackend::~QtEventBackend() {
  windows_.clear();
  ownApplication_.reset();
}

void QtEventBackend::displayWindow(appkit::Window& window) {
  if (auto found = windows_.find(&window); found != windows_.end()) {
    found->second->refresh(window);
    return;
  }
  if (QApplication::instance() == nullptr) {
    // QApplication takes the options it reads out of argv: lay it out anew.
    argv_.clear();
    for (auto& argument : arguments_) {
      argv_.push_back(argument.data());
    }
    argv_.push_back(nullptr);
    argc_ = static_cast<int>(arguments_.size());
    ownApplication_ = std::make_unique<QApplication>(argc_, argv_.data());
  }
  const std::weak_ptr<appkit::Window> weak = window.sharedAs<appkit::Window>();
  auto shown = std::make_unique<QtWindow>(
      window, [this, weak](const QtWindowInput& input) { received(weak, input); });
  shown->show();
  shown->raise();
  shown->activateWindow();
  windows_.emplace(&window, std::move(shown));
}

void QtEventBackend::windowDidOrderOut(appkit::Window& window) {
  windows_.erase(&window);
  std::erase_if(received_, [&](const Received& input) {
    auto owner = input.window.lock();
    return owner == nullptr || owner.get() == &window;
  });
  if (windows_.empty() && waiting_ == nullptr) {
    ownApplication_.reset();
  }
}

std::optional<appkit::Event> QtEventBackend::nextEvent(
    const std::shared_ptr<appkit::Window>& window) {
  if (windows_.find(window.get()) == windows_.end()) {
    displayWindow(*window);
  }
  while (received_.empty()) {
    QEventLoop loop;
    waiting_ = &loop;
    loop.exec();
    waiting_ = nullptr;
  }
  const Received next = received_.front();
  received_.pop_front();
  auto target = next.window.lock();
  if (target == nullptr) {
    target = window;
  }
  switch (next.input.kind) {
    case QtWindowInput::Kind::ButtonClick:
      if (auto button = next.input.button.lock()) {
        return appkit::Event::mouseEvent(target, button);
      }
      return nextEvent(window);
    case QtWindowInput::Kind::CloseButton:
      return closeButtonClick(target);
    case QtWindowInput::Kind::KeyPress:
      break;
  }
  return keyPress(next.input.modifierFlags, next.input.key);
}

void QtEventBackend::received(const std::weak_ptr<appkit::Window>& window,
                              const QtWindowInput& input) {
  received_.push_back(Received{window, input});
  if (waiting_ != nullptr) {
    waiting_->quit();
  }
}
