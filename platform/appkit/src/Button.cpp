#include "appkit/Button.h"

#include "appkit/Application.h"
#include "appkit/ClassBuilder.h"
#include "appkit/Coder.h"
#include "appkit/Event.h"

namespace appkit {

namespace {
void describe(ClassBuilder<Button, View>& cls) {
  cls.method("performClick:", &Button::performClick);
}
[[maybe_unused]] const bool registered = ClassBuilder<Button, View>::define("Button", describe);
}  // namespace

Button::Button(const Coder& coder)
    : View(coder),
      title_(coder.decodeString("title").value_or("")),
      action_(coder.decodeString("action")) {}

void Button::performClick(const std::any& /*sender*/) {
  if (action_) {
    Application::shared().sendAction(*action_, target(), std::any(sharedAs<Object>()));
  }
}

void Button::keyDown(const Event& event) {
  const std::string& key = event.charactersIgnoringModifiers();
  const EventModifierFlags commandKeys =
      EventModifierFlagCommand | EventModifierFlagControl | EventModifierFlagOption;
  if ((key == " " || key == "\r") && (event.modifierFlags() & commandKeys) == 0) {
    performClick({});
  } else {
    View::keyDown(event);
  }
}

void Button::mouseDown(const Event& /*event*/) { performClick({}); }

}  // namespace appkit
