#include "appkit/Application.h"

#include <cstdio>
#include <cstdlib>
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
    if (backend_ == nullptr || !backend_->handleNextInput(window)) {
      return ModalResponseAbort;
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
  for (const auto& monitor : monitors) {
    current = monitor->handler(*current);
    if (!current) {
      return;
    }
  }
  if (auto window = keyWindow()) {
    window->sendEvent(*current);
  }
}

}  // namespace appkit
