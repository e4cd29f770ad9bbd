// Shows a window like the reminder's through the terminal backend and, when
// its modal loop has ended, writes what the view controller heard (one event
// per line, then "response <n>") to the file named on the command line.
// appkit_terminal_tmux.sh drives it inside tmux.
#include <fstream>
#include <iostream>

#include "appkit/AppKit.h"
#include "support/RecordingViewController.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: appkit_terminal_check RESULT-FILE\n";
    return 2;
  }
  appkit::Application::shared().setEventBackend(std::make_unique<appkit::TerminalEventBackend>());
  auto controller = velktest::makeRecordingController({"種別", "シリアル番号", "有効期限の満了日"});
  controller->setTitle("証明書の有効期限が近づいています");
  controller->closeOnOptionC = true;
  controller->rows = {
      {std::string("署名用"), std::string("0A1B2C3D"), std::string("令和8年1月31日")},
      {std::string("利用者証明用"), std::string("FF"), std::string("令和元年5月1日")}};
  auto window = appkit::Window::windowWithContentViewController(controller);
  window->setStyleMask(appkit::WindowStyleMaskTitled | appkit::WindowStyleMaskClosable);
  const appkit::ModalResponse response = appkit::Application::shared().runModalForWindow(window);
  window.reset();
  std::ofstream result(argv[1]);
  for (const auto& event : controller->events) {
    result << event << '\n';
  }
  result << "response " << response << '\n';
  return result ? 0 : 1;
}
