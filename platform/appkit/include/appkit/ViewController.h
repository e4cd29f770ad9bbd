#pragma once

#include <any>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "appkit/AppKitExport.h"
#include "appkit/Responder.h"

namespace appkit {

class Bundle;
class Coder;
class View;

// Manages a view: loads it on first use and hears when it appears and
// disappears. Subclasses override the life cycle operations; each override
// should call the base class's.
class VELKAPPKIT_EXPORT ViewController : public Responder {
 public:
  ViewController() = default;
  // Keeps the nib name and bundle. Nib files are not read: the view is empty
  // unless a storyboard or setView() provides one.
  ViewController(std::optional<std::string> nibName, std::shared_ptr<Bundle> nibBundle);
  // Decodes "title".
  explicit ViewController(const Coder& coder);
  ~ViewController() override;

  // The view. The first call loads it (loadView(), then viewDidLoad()).
  std::shared_ptr<View> view();
  bool isViewLoaded() const { return view_ != nullptr; }
  // Makes `view` the view without loading anything or calling viewDidLoad().
  void setView(const std::shared_ptr<View>& view);

  // Makes the view: the storyboard's when one set a view loader, else an
  // empty View.
  virtual void loadView();

  // Life cycle: after the view was loaded; before and after the view's window
  // comes on screen; before it leaves the screen (also when a window on screen
  // is released).
  virtual void viewDidLoad() {}
  virtual void viewWillAppear() {}
  virtual void viewDidAppear() {}
  virtual void viewWillDisappear() {}

  // A value the controller stands for; empty at first.
  virtual std::any representedObject() const { return representedObject_; }
  virtual void setRepresentedObject(std::any object) { representedObject_ = std::move(object); }

  const std::string& title() const { return title_; }
  void setTitle(std::string title) { title_ = std::move(title); }

  const std::optional<std::string>& nibName() const { return nibName_; }
  const std::shared_ptr<Bundle>& nibBundle() const { return nibBundle_; }

  // Used by storyboards: the function that builds the view and connects its
  // outlets, run by loadView() once instead of making an empty view.
  void setViewLoader(std::function<std::shared_ptr<View>(ViewController&)> loader) {
    viewLoader_ = std::move(loader);
  }

  // The view's superview, else the view's window.
  std::shared_ptr<Responder> nextResponder() const override;

 private:
  std::shared_ptr<View> view_;
  std::function<std::shared_ptr<View>(ViewController&)> viewLoader_;
  std::any representedObject_;
  std::string title_;
  std::optional<std::string> nibName_;
  std::shared_ptr<Bundle> nibBundle_;
};

}  // namespace appkit
