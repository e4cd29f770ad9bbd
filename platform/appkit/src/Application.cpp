#include "appkit/Application.h"

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <iostream>
#include <utility>

#include "appkit/EventBackend.h"
#include "appkit/Window.h"

namespace appkit {

Application::~Application() = default;

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
  while (!stopped_) {
    std::optional<Event> event = backend_ != nullptr ? backend_->nextEvent(window) : std::nullopt;
    if (!event) {
      return ModalResponseAbort;
    }
    try {
      sendEvent(*event);
    } catch (const std::exception& error) {
      // As on the platform: a failing handler costs its event, not the loop.
      std::cerr << "appkit: exception while handling an event: " << error.what() << '\n';
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
  const EventMask type = EventMask{1} << static_cast<std::uint64_t>(event.type());
  const auto monitors = monitors_;  // handlers may add or remove monitors
  for (const auto& monitor : monitors) {
    if ((monitor->mask & type) != 0) {
      current = monitor->handler(*current);
      if (!current) {
        return;
      }
    }
  }
  auto window = current->type() == EventType::KeyDown ? keyWindow() : current->window();
  if (window != nullptr) {
    window->sendEvent(*current);
  }
}

}  // namespace appkit
