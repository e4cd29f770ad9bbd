#pragma once

#include <memory>

#include "appkit/AppKitExport.h"
#include "appkit/Coder.h"
#include "appkit/Object.h"
#include "appkit/ViewController.h"

namespace appkit {

// The controller a storyboard makes for a window scene; it holds the scene's
// content view controller.
class VELKAPPKIT_EXPORT WindowController : public Object {
 public:
  explicit WindowController(const Coder& /*coder*/) {}

  // nullptr when the scene has none.
  std::shared_ptr<ViewController> contentViewController() const { return contentViewController_; }
  void setContentViewController(std::shared_ptr<ViewController> controller) {
    contentViewController_ = std::move(controller);
  }

 private:
  std::shared_ptr<ViewController> contentViewController_;
};

}  // namespace appkit
