#pragma once

#include <QApplication>
#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "QtWindow.h"
#include "appkit/EventBackend.h"

class QEventLoop;

// Real windows drawn with Qt 6 Widgets. Waiting for input runs a nested Qt
// event loop until the user does something in a window; that is then handed
// to the application: a key press as an appkit key press with its modifier
// flags (Alt as Option), a click on a button as its press, the title bar's
// close button as the window's performClose().
//
// A host that has a QApplication keeps it and its windows; the reminder's
// window is modal over them. Otherwise the backend makes a QApplication when
// a window first comes on screen and destroys it when the last one leaves, so
// the next window starts a fresh one.
class QtEventBackend : public appkit::EventBackend {
 public:
  // `platform` is the Qt platform to start when the backend makes the
  // QApplication: "" for Qt's own choice.
  explicit QtEventBackend(std::string platform);
  ~QtEventBackend() override;
  QtEventBackend(const QtEventBackend&) = delete;
  QtEventBackend& operator=(const QtEventBackend&) = delete;

  void displayWindow(appkit::Window& window) override;
  void windowDidOrderOut(appkit::Window& window) override;
  bool handleNextInput(const std::shared_ptr<appkit::Window>& window) override;

 private:
  void received(const std::weak_ptr<appkit::Window>& window, const QtWindowInput& input);

  std::vector<std::string> arguments_;
  std::vector<char*> argv_;
  int argc_ = 0;
  std::unique_ptr<QApplication> ownApplication_;
  std::map<const appkit::Window*, std::unique_ptr<QtWindow>> windows_;
  struct Received {
    std::weak_ptr<appkit::Window> window;
    QtWindowInput input;
  };
  std::deque<Received> received_;
  QEventLoop* waiting_ = nullptr;  // the nested loop running in handleNextInput()
};
