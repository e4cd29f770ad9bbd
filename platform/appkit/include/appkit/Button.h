#pragma once

#include <any>
#include <memory>
#include <optional>
#include <string>

#include "appkit/AppKitExport.h"
#include "appkit/Selector.h"
#include "appkit/View.h"

namespace appkit {

class Coder;

// A push button: pressing it sends its action to its target.
class VELKAPPKIT_EXPORT Button : public View {
 public:
  Button() = default;
  // Decodes "id", "title" and "action"; the target is connected by the
  // storyboard.
  explicit Button(const Coder& coder);

  const std::string& title() const { return title_; }
  void setTitle(std::string title) { title_ = std::move(title); }

  // The selector sent when the button is pressed; nullopt when none.
  const std::optional<Selector>& action() const { return action_; }
  void setAction(std::optional<Selector> action) { action_ = std::move(action); }

  // The object the action goes to, held weakly; nullptr means the key
  // window's responder chain.
  std::shared_ptr<Object> target() const { return target_.lock(); }
  void setTarget(const std::shared_ptr<Object>& target) { target_ = target; }

  // Presses the button: sends the action, with the button as sender (a
  // std::shared_ptr<Object>), through Application::sendAction(). Does nothing
  // without an action.
  void performClick(const std::any& sender);

  // Space and Return press the button; other keys go on.
  void keyDown(const Event& event) override;
  // A click presses the button.
  void mouseDown(const Event& event) override;

 private:
  std::string title_;
  std::optional<Selector> action_;
  std::weak_ptr<Object> target_;
};

}  // namespace appkit
