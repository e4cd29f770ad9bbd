#include "appkit/Button.h"

#include "appkit/Coder.h"
#include "appkit/Event.h"

namespace appkit {

Button::Button(const Coder& coder)
    : View(coder),
      title_(coder.decodeString("title").value_or("")),
      action_(coder.decodeString("action")) {}

void Button::press() {
  if (auto target = target_.lock(); target != nullptr && action_) {
    target->performSelector(*action_, std::any(sharedAs<Object>()));
  }
}

void Button::keyDown(const Event& event) {
  const std::string& key = event.charactersIgnoringModifiers();
  const EventModifierFlags commandKeys =
      EventModifierFlagCommand | EventModifierFlagControl | EventModifierFlagOption;
  if ((key == " " || key == "\r") && (event.modifierFlags() & commandKeys) == 0) {
    press();
  }
}

}  // namespace appkit
