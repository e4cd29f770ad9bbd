#include "appkit/WindowController.h"

#include "appkit/ClassBuilder.h"
#include "appkit/ViewController.h"

namespace appkit {

namespace {
[[maybe_unused]] const bool registered =
    ClassBuilder<WindowController, Responder>::define("WindowController", [](auto& /*cls*/) {});
}  // namespace

WindowController::WindowController(const Coder& /*coder*/) {}

}  // namespace appkit
