#include "QtEventBackend.h"

#include <QEventLoop>
#include <cerrno>
#include <utility>

#include "appkit/Button.h"
#include "appkit/Window.h"

QtEventBackend::QtEventBackend(std::string platform) {
  // The application is named after the program, as Qt names it from argv[0].
  arguments_.emplace_back(program_invocation_name);
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
    // The desktop matches the window to the entry that starts the reminder
    // at login, named after the program.
    QGuiApplication::setDesktopFileName(QCoreApplication::applicationName() +
                                        QStringLiteral("-remind"));
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

bool QtEventBackend::handleNextInput(const std::shared_ptr<appkit::Window>& window) {
  if (!windows_.contains(window.get())) {
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
  if (next.input.kind == QtWindowInput::Kind::KeyPress) {
    return typeKey(next.input.modifierFlags, next.input.key);
  }
  if (auto button = next.input.button.lock()) {
    button->press();
  } else if (next.input.kind == QtWindowInput::Kind::CloseButton) {
    (target != nullptr ? target : window)->performClose();
  }
  return true;
}

void QtEventBackend::received(const std::weak_ptr<appkit::Window>& window,
                              const QtWindowInput& input) {
  received_.push_back(Received{window, input});
  if (waiting_ != nullptr) {
    waiting_->quit();
  }
}
