#include "appkit/Application.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <utility>

#include "appkit/Button.h"
#include "appkit/EventBackend.h"
#include "appkit/View.h"
#include "appkit/Window.h"

namespace appkit {

namespace {

void dispatch(Input input, Window& window) {
  switch (input.kind) {
    case Input::Kind::KeyPress:
      if (input.key.size() == 1 && std::isupper(static_cast<unsigned char>(input.key[0])) != 0) {
        input.modifierFlags |= EventModifierFlagShift;
      } else if (input.key.size() == 1 && (input.modifierFlags & EventModifierFlagShift) != 0) {
        input.key[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(input.key[0])));
      }
      Application::shared().sendEvent(Event(input.modifierFlags, std::move(input.key)));
      break;
    case Input::Kind::ButtonPress:
      if (auto button = std::dynamic_pointer_cast<Button>(window.firstResponder())) {
        button->press();
      }
      break;
    case Input::Kind::CloseButton:
      window.performClose();
      break;
  }
}

}  // namespace

Application& Application::shared() {
  static Application application;
  return application;
}

void Application::setEventBackend(std::unique_ptr<EventBackend> backend) {
  backend_ = std::move(backend);
  backendInstalled_ = true;
}

ModalResponse Application::runModalForWindow(const std::shared_ptr<Window>& window) {
  if (!backendInstalled_) {
    setEventBackend(EventBackend::automatic());
  }
  stopped_ = false;
  window->makeKeyAndOrderFront();
  for (bool ended = false; !stopped_;) {
    std::optional<Input> input =
        backend_ != nullptr && windowShown_ ? backend_->nextInput(*window) : std::nullopt;
    if (input) {
      dispatch(std::move(*input), *window);
    } else if (ended || !windowShown_) {
      return ModalResponseAbort;
    } else {
      ended = true;
      window->performClose();
    }
  }
  return ModalResponseStop;
}

void Application::terminate(const std::any& /*sender*/) {
  backend_.reset();
  std::fflush(nullptr);
  std::exit(0);  // NOLINT(concurrency-mt-unsafe): the main thread ends the process
}

void Application::sendEvent(const Event& event) {
  std::optional<Event> current = event;
  const auto monitors = monitors_;  // handlers may add or remove monitors
  for (const auto& [token, handler] : monitors) {
    current = handler(*current);
    if (!current) {
      return;
    }
  }
  const auto window = keyWindow();
  if (auto responder = window != nullptr ? window->firstResponder() : nullptr) {
    responder->keyDown(*current);
  }
}

}  // namespace appkit
