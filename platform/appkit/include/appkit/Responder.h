#pragma once

#include <memory>

#include "appkit/AppKitExport.h"
#include "appkit/Object.h"
#include "appkit/Selector.h"

namespace appkit {

class Event;

// An object in a responder chain: a view, its view controller, the window.
// Events and commands that a responder does not handle go on to its next
// responder and are dropped at the end of the chain.
class VELKAPPKIT_EXPORT Responder : public Object {
 public:
  // The next object in the chain; nullptr at the end. Views, view controllers
  // and windows compute theirs from where they are.
  virtual std::shared_ptr<Responder> nextResponder() const;

  // Runs `selector`, with an empty argument, on the first responder of the
  // chain starting here that responds to it; does nothing when none does.
  virtual void doCommandBySelector(const Selector& selector);

  // Runs `action` with `argument` on the first responder of the chain starting
  // here that responds to it. Returns true when one did.
  bool tryToPerform(const Selector& action, const std::any& argument);

  // A key press for this responder. The default passes it to the next
  // responder.
  virtual void keyDown(const Event& event);

  // A mouse press on this responder. The default passes it to the next
  // responder.
  virtual void mouseDown(const Event& event);
};

}  // namespace appkit
