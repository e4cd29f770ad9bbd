#include "QtEventBackend.h"

#include <QEventLoop>
#include <cerrno>
#include <utility>

QtEventBackend::QtEventBackend(std::string platform) {
  // The application is named after the program, as Qt names it from argv[0].
  arguments_.emplace_back(program_invocation_name);
  if (!platform.empty()) {
    arguments_.emplace_back("-platform");
    arguments_.push_back(std::move(platform));
  }
}

bool QtEventBackend::displayWindow(appkit::Window& window) {
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
  window_ = std::make_unique<QtWindow>(window, [this](const appkit::Input& input) {
    received_.push_back(input);
    if (waiting_ != nullptr) {
      waiting_->quit();
    }
  });
  window_->show();
  window_->raise();
  window_->activateWindow();
  return true;
}

void QtEventBackend::windowDidOrderOut(appkit::Window& /*window*/) {
  window_.reset();
  received_.clear();
  ownApplication_.reset();
}

std::optional<appkit::Input> QtEventBackend::nextInput(appkit::Window& /*window*/) {
  while (received_.empty()) {
    QEventLoop loop;
    waiting_ = &loop;
    loop.exec();
    waiting_ = nullptr;
  }
  appkit::Input next = std::move(received_.front());
  received_.pop_front();
  return next;
}
