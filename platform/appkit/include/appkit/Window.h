#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "appkit/AppKitExport.h"
#include "appkit/Object.h"

namespace appkit {

class View;
class ViewController;

using WindowStyleMask = std::uint64_t;
inline constexpr WindowStyleMask WindowStyleMaskTitled = 1U << 0;
inline constexpr WindowStyleMask WindowStyleMaskClosable = 1U << 1;

// A window showing its content view controller's view, drawn by the
// application's event backend while it is on screen. A window released while
// on screen leaves the screen first.
class VELKAPPKIT_EXPORT Window : public Object {
 public:
  // The name of the Notification that performClose() sends to the delegate's
  // "windowWillClose:", with the window as its object.
  static constexpr std::string_view WillCloseNotification = "WindowWillCloseNotification";

  ~Window() override;

  // A new window, titled and closable, off screen, whose content is
  // `controller`'s view, which this loads.
  static std::shared_ptr<Window> windowWithContentViewController(
      const std::shared_ptr<ViewController>& controller);

  std::shared_ptr<View> contentView() const;
  // The content view controller's title.
  std::string title() const;

  WindowStyleMask styleMask() const { return styleMask_; }
  void setStyleMask(WindowStyleMask mask) { styleMask_ = mask; }

  // Held weakly; sent "windowWillClose:" when it responds to it.
  void setDelegate(const std::shared_ptr<Object>& delegate) { delegate_ = delegate; }

  bool isVisible() const { return visible_; }
  // True when this is the application's key window.
  bool isKeyWindow() const;

  // Puts the window on screen (viewWillAppear(), drawn, viewDidAppear()) when
  // it is not, and makes it the key window.
  void makeKeyAndOrderFront();
  // Takes the window off screen (viewWillDisappear()) when it is on screen.
  void orderOut();
  // What the title bar's close button does: when the style mask has
  // WindowStyleMaskClosable, sends WillCloseNotification to the delegate,
  // then orders the window out; else nothing.
  void performClose();

  // Where key presses go: the first view of the content (depth first) that
  // has accessibility focus; nullptr when none has.
  std::shared_ptr<View> firstResponder() const;

 private:
  std::shared_ptr<ViewController> contentViewController_;
  WindowStyleMask styleMask_ = WindowStyleMaskTitled | WindowStyleMaskClosable;
  std::weak_ptr<Object> delegate_;
  bool visible_ = false;
};

}  // namespace appkit
