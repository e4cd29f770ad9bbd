#pragma once

#include <memory>
#include <string>
#include <vector>

#include "appkit/AppKitExport.h"
#include "appkit/Object.h"

namespace appkit {

class Coder;
class Event;
class Window;

// A rectangle of a window's content, with subviews. Views are owned by their
// superview (the root view by its view controller).
class VELKAPPKIT_EXPORT View : public Object {
 public:
  View() = default;
  // Decodes "width" and "height" (whole numbers of points, 0 to 10000) as
  // the frame size, throwing std::invalid_argument for any other text, and
  // "accessibilityLabel".
  explicit View(const Coder& coder);

  // The frame size in points; 0 where none was given.
  int width() const { return width_; }
  int height() const { return height_; }

  // The window whose content view this is; nullptr for any other view.
  std::shared_ptr<Window> window() const { return window_.lock(); }

  const std::vector<std::shared_ptr<View>>& subviews() const { return subviews_; }
  // Adds `view` as the last subview.
  void addSubview(const std::shared_ptr<View>& view) { subviews_.push_back(view); }

  // The view that keyboard focus moves to from this one. Kept nowhere: the
  // backends that move the focus (Tab on the desktop) follow their own order.
  void setNextKeyView(const std::shared_ptr<View>& /*view*/) {}

  // What assistive technology calls the view; "" when the storyboard gave
  // it no name.
  const std::string& accessibilityLabel() const { return accessibilityLabel_; }

  // Whether assistive technology (and keyboard focus) is on this view; a
  // window's first responder is the first view that has it.
  bool isAccessibilityFocused() const { return accessibilityFocused_; }
  void setAccessibilityFocused(bool focused) { accessibilityFocused_ = focused; }

  // A key press while this is the window's first responder; nothing here.
  virtual void keyDown(const Event& /*event*/) {}

 private:
  friend class Window;

  int width_ = 0;
  int height_ = 0;
  std::string accessibilityLabel_;
  std::vector<std::shared_ptr<View>> subviews_;
  std::weak_ptr<Window> window_;  // set on a window's content view only
  bool accessibilityFocused_ = false;
};

}  // namespace appkit
