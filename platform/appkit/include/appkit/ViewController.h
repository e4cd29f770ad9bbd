#pragma once

#include <any>
#include <memory>
#include <string>

#include "appkit/AppKitExport.h"
#include "appkit/Object.h"
#include "appkit/View.h"

namespace appkit {

class Coder;

// Manages a view: loads it on first use and hears when it appears and
// disappears. Subclasses override the life cycle operations; each override
// should call the base class's.
class VELKAPPKIT_EXPORT ViewController : public Object {
 public:
  ViewController() = default;
  // Decodes "title".
  explicit ViewController(const Coder& coder);

  // The view. The first call loads it (the storyboard's view, else an empty
  // one), then calls viewDidLoad().
  std::shared_ptr<View> view();

  // Life cycle: after the view was loaded; before and after the view's window
  // comes on screen; before it leaves the screen.
  virtual void viewDidLoad() {}
  virtual void viewWillAppear() {}
  virtual void viewDidAppear() {}
  virtual void viewWillDisappear() {}

  // A value the controller stands for; empty at first.
  virtual std::any representedObject() const { return representedObject_; }
  virtual void setRepresentedObject(std::any object) { representedObject_ = std::move(object); }

  const std::string& title() const { return title_; }

  // Runs `selector` on this controller when it responds to it.
  void doCommandBySelector(const Selector& selector) { performSelector(selector); }

  // Used by storyboards: the view the first view() loads.
  void setView(std::shared_ptr<View> view) { view_ = std::move(view); }

 private:
  std::shared_ptr<View> view_ = std::make_shared<View>();  // until setView()
  bool loaded_ = false;
  std::any representedObject_;
  std::string title_;
};

}  // namespace appkit
