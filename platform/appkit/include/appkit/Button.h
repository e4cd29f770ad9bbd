#pragma once

#include <memory>
#include <optional>
#include <string>

#include "appkit/AppKitExport.h"
#include "appkit/View.h"

namespace appkit {

// A push button: pressing it sends its action to its target, with the button
// (a std::shared_ptr<Object>) as the argument.
class VELKAPPKIT_EXPORT Button : public View {
 public:
  // Decodes "title" and "action"; the storyboard connects the target.
  explicit Button(const Coder& coder);

  const std::string& title() const { return title_; }
  // The selector sent when the button is pressed; nullopt when none.
  const std::optional<Selector>& action() const { return action_; }

  // The object the action goes to, held weakly.
  void setTarget(const std::shared_ptr<Object>& target) { target_ = target; }

  // Sends the action to the target; nothing without either.
  void press();

  // Space and Return without Command, Control or Option press the button.
  void keyDown(const Event& event) override;

 private:
  std::string title_;
  std::optional<Selector> action_;
  std::weak_ptr<Object> target_;
};

}  // namespace appkit
