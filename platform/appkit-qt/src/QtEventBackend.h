#pragma once

#include <QApplication>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "QtWindow.h"
#include "appkit/EventBackend.h"

class QEventLoop;

// Real windows drawn with Qt 6 Widgets, one at a time. Waiting for input runs
// a nested Qt event loop until the user does something in the window: a key
// press (Alt as Option), a click on its button, its title bar's close button.
//
// A host that has a QApplication keeps it and its windows; the reminder's
// window is modal over them. Otherwise the backend makes a QApplication when
// a window comes on screen and destroys it when the window leaves, so the
// next window starts a fresh one.
class QtEventBackend : public appkit::EventBackend {
 public:
  // `platform` is the Qt platform to start when the backend makes the
  // QApplication: "" for Qt's own choice.
  explicit QtEventBackend(std::string platform);

  bool displayWindow(appkit::Window& window) override;
  void windowDidOrderOut(appkit::Window& window) override;
  std::optional<appkit::Input> nextInput(appkit::Window& window) override;

 private:
  std::vector<std::string> arguments_;
  std::vector<char*> argv_;
  int argc_ = 0;
  std::unique_ptr<QApplication> ownApplication_;
  std::unique_ptr<QtWindow> window_;  // goes before the application does
  std::deque<appkit::Input> received_;
  QEventLoop* waiting_ = nullptr;  // the nested loop running in nextInput()
};
