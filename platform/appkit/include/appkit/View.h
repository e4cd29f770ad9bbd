#pragma once

#include <memory>
#include <string>
#include <vector>

#include "appkit/AppKitExport.h"
#include "appkit/Responder.h"

namespace appkit {

class Coder;
class ViewController;
class Window;

// A rectangle of a window's content, with subviews. Views are owned by their
// superview (the root view by its view controller or window); the links back
// up are weak.
class VELKAPPKIT_EXPORT View : public Responder {
 public:
  // A width and a height in points.
  struct Size {
    int width = 0;
    int height = 0;
  };

  View() = default;
  // Decodes "id" as the identifier and "width" and "height" (whole numbers)
  // as the frame size; throws std::invalid_argument for a size that is not a
  // whole number from 0 to 10000.
  explicit View(const Coder& coder);

  const std::string& identifier() const { return identifier_; }
  void setIdentifier(std::string identifier) { identifier_ = std::move(identifier); }

  // The size of the view's frame; 0 by 0 when none was given.
  const Size& frameSize() const { return frameSize_; }

  // The window the view is in, through its superviews; nullptr when none.
  std::shared_ptr<Window> window() const;

  // nullptr for a root view.
  std::shared_ptr<View> superview() const { return superview_.lock(); }
  const std::vector<std::shared_ptr<View>>& subviews() const { return subviews_; }

  // Adds `view` as the last subview, taking it from its previous superview.
  // Does nothing for nullptr, this view itself or one of its superviews.
  void addSubview(const std::shared_ptr<View>& view);

  // The view that keyboard focus moves to from this one (weak); nullptr when
  // unset or gone.
  std::shared_ptr<View> nextKeyView() const { return nextKeyView_.lock(); }
  void setNextKeyView(const std::shared_ptr<View>& view) { nextKeyView_ = view; }

  // Whether assistive technology (and keyboard focus) is on this view; a
  // window's first responder is the first view that has it.
  bool isAccessibilityFocused() const { return accessibilityFocused_; }
  void setAccessibilityFocused(bool focused) { accessibilityFocused_ = focused; }

  // The view controller whose view this is, else the superview, else the
  // window.
  std::shared_ptr<Responder> nextResponder() const override;

 private:
  friend class ViewController;
  friend class Window;

  std::string identifier_;
  Size frameSize_;
  std::weak_ptr<View> superview_;
  std::vector<std::shared_ptr<View>> subviews_;
  std::weak_ptr<View> nextKeyView_;
  std::weak_ptr<ViewController> viewController_;
  std::weak_ptr<Window> window_;  // set on a window's content view only
  bool accessibilityFocused_ = false;
};

}  // namespace appkit
