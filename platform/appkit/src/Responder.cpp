#include "appkit/Responder.h"

#include "appkit/ClassBuilder.h"

namespace appkit {

namespace {
[[maybe_unused]] const bool registered =
    ClassBuilder<Responder, Object>::define("Responder", [](auto& /*cls*/) {});
}  // namespace

std::shared_ptr<Responder> Responder::nextResponder() const { return nullptr; }

void Responder::doCommandBySelector(const Selector& selector) { tryToPerform(selector, {}); }

bool Responder::tryToPerform(const Selector& action, const std::any& argument) {
  std::shared_ptr<Responder> keepAlive = sharedAs<Responder>();
  for (Responder* responder = this; responder != nullptr;) {
    if (responder->performSelector(action, argument)) {
      return true;
    }
    keepAlive = responder->nextResponder();
    responder = keepAlive.get();
  }
  return false;
}

void Responder::keyDown(const Event& event) {
  if (auto next = nextResponder()) {
    next->keyDown(event);
  }
}

void Responder::mouseDown(const Event& event) {
  if (auto next = nextResponder()) {
    next->mouseDown(event);
  }
}

}  // namespace appkit
