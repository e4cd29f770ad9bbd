#pragma once

#include <any>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "appkit/AppKitExport.h"
#include "appkit/Responder.h"

namespace appkit {

class Button;
class Event;
class View;
class ViewController;

using WindowStyleMask = std::uint64_t;
inline constexpr WindowStyleMask WindowStyleMaskBorderless = 0;
inline constexpr WindowStyleMask WindowStyleMaskTitled = 1U << 0;
inline constexpr WindowStyleMask WindowStyleMaskClosable = 1U << 1;
inline constexpr WindowStyleMask WindowStyleMaskMiniaturizable = 1U << 2;
inline constexpr WindowStyleMask WindowStyleMaskResizable = 1U << 3;

// The buttons of a window's title bar.
enum class WindowButton { CloseButton };

// A window showing its content view controller's view. It is drawn by the
// application's event backend while it is on screen. A window that is
// released while on screen leaves the screen first (its content view
// controller hears viewWillDisappear()).
class VELKAPPKIT_EXPORT Window : public Responder {
 public:
  // Sent to the delegate's "windowWillClose:" by close(), as a Notification
  // whose object is the window.
  static constexpr std::string_view WillCloseNotification = "WindowWillCloseNotification";

  Window() = default;
  ~Window() override;

  // A new window (titled, closable, miniaturizable and resizable) whose
  // content is `controller`'s view, which this loads (viewDidLoad()). The
  // window is not on screen yet.
  static std::shared_ptr<Window> windowWithContentViewController(
      const std::shared_ptr<ViewController>& controller);

  std::shared_ptr<ViewController> contentViewController() const { return contentViewController_; }
  // Makes `controller`'s view, loaded now, the content view. Must be called on
  // a window owned by a std::shared_ptr.
  void setContentViewController(const std::shared_ptr<ViewController>& controller);
  std::shared_ptr<View> contentView() const;

  // The title set with setTitle(), else the content view controller's title.
  std::string title() const;
  void setTitle(std::string title) { title_ = std::move(title); }

  WindowStyleMask styleMask() const { return styleMask_; }
  void setStyleMask(WindowStyleMask mask) { styleMask_ = mask; }

  // The delegate, held weakly; nullptr when unset or gone. It is sent
  // "windowWillClose:" when it responds to it.
  std::shared_ptr<Object> delegate() const { return delegate_.lock(); }
  void setDelegate(const std::shared_ptr<Object>& delegate) { delegate_ = delegate; }

  bool isVisible() const { return visible_; }
  // True when this is the application's key window.
  bool isKeyWindow() const;

  // Puts the window on screen (viewWillAppear(), drawn, viewDidAppear()) when
  // it is not, and makes it the key window.
  void makeKeyAndOrderFront(const std::any& sender);
  // Takes the window off screen (viewWillDisappear()) when it is on screen; it
  // stops being the key window.
  void orderOut(const std::any& sender);
  // Sends WillCloseNotification to the delegate, then orders the window out.
  void close();
  // What the title bar's close button does: close() when the style mask has
  // WindowStyleMaskClosable, else nothing.
  void performClose(const std::any& sender);

  // The title bar's button of that kind; its action is "performClose:" on the
  // window. Must be called on a window owned by a std::shared_ptr.
  std::shared_ptr<Button> standardWindowButton(WindowButton button);

  // The responder that key presses go to: the first view of the content (depth
  // first) that has accessibility focus, else the first button, else the
  // content view; nullptr without content.
  std::shared_ptr<Responder> firstResponder() const;

  // Has the window drawn again when it is on screen.
  void display();

  // Delivers an event: key presses to the first responder, mouse presses to
  // the view the event hit when that view is in this window.
  virtual void sendEvent(const Event& event);

 private:
  void leaveScreen();

  std::shared_ptr<ViewController> contentViewController_;
  std::optional<std::string> title_;
  WindowStyleMask styleMask_ = WindowStyleMaskTitled | WindowStyleMaskClosable |
                               WindowStyleMaskMiniaturizable | WindowStyleMaskResizable;
  std::weak_ptr<Object> delegate_;
  std::shared_ptr<Button> closeButton_;
  bool visible_ = false;
};

}  // namespace appkit
