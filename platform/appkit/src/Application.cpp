#include "appkit/Application.h"

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <iostream>
#include <utility>

#include "appkit/EventBackend.h"
#include "appkit/Object.h"
#include "appkit/Responder.h"
#include "appkit/Window.h"

namespace appkit {

struct Application::Monitor {
  std::uint64_t id;
  EventMask mask;
  Event::MonitorHandler handler;
  bool removed = false;
};

namespace {

// What Event::addLocalMonitorForEventsMatchingMask hands out.
struct MonitorToken {
  std::uint64_t id;
};

}  // namespace

Application::Application() = default;
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
  if (window == nullptr) {
    return ModalResponseAbort;
  }
  if (!backendInstalled_) {
    setEventBackend(EventBackend::automatic());
  }
  sessions_.push_back(ModalSession{window});
  const std::size_t session = sessions_.size() - 1;
  ModalResponse response = ModalResponseStop;
  try {
    window->makeKeyAndOrderFront({});
  } catch (const std::exception& error) {
    std::cerr << "appkit: exception while showing a window: " << error.what() << '\n';
  }
  while (!sessions_[session].stopped) {
    auto event = nextEvent(window);
    if (!event) {
      response = ModalResponseAbort;
      break;
    }
    try {
      sendEvent(*event);
    } catch (const std::exception& error) {
      // As on the platform: a failing handler costs its event, not the loop.
      std::cerr << "appkit: exception while handling an event: " << error.what() << '\n';
    }
  }
  sessions_.resize(session);
  return response;
}

void Application::stopModal() {
  if (!sessions_.empty()) {
    sessions_.back().stopped = true;
  }
}

std::shared_ptr<Window> Application::modalWindow() const {
  return sessions_.empty() ? nullptr : sessions_.back().window.lock();
}

void Application::terminate(const std::any& /*sender*/) {
  backend_.reset();
  std::cout.flush();
  std::fflush(nullptr);
  std::exit(0);  // NOLINT(concurrency-mt-unsafe): the main thread ends the process
}

void Application::postEvent(const Event& event, bool atStart) {
  if (atStart) {
    queue_.push_front(event);
  } else {
    queue_.push_back(event);
  }
}

std::optional<Event> Application::nextEvent(const std::shared_ptr<Window>& window) {
  if (!queue_.empty()) {
    Event event = queue_.front();
    queue_.pop_front();
    return event;
  }
  if (backend_ == nullptr) {
    return std::nullopt;
  }
  return backend_->nextEvent(window);
}

void Application::sendEvent(const Event& event) {
  std::optional<Event> current = event;
  const EventMask type = EventMaskFromType(event.type());
  const auto monitors = monitors_;  // handlers may add or remove monitors
  for (const auto& monitor : monitors) {
    if (!monitor->removed && (monitor->mask & type) != 0) {
      current = monitor->handler(*current);
      if (!current) {
        return;
      }
    }
  }
  auto window = current->type() == EventType::KeyDown ? keyWindow() : current->window();
  if (window == nullptr) {
    return;
  }
  if (auto modal = modalWindow(); modal != nullptr && modal != window) {
    return;
  }
  window->sendEvent(*current);
}

bool Application::sendAction(const Selector& action, const std::shared_ptr<Object>& target,
                             const std::any& sender) const {
  if (target != nullptr) {
    return target->performSelector(action, sender).has_value();
  }
  auto window = keyWindow();
  auto responder = window != nullptr ? window->firstResponder() : nullptr;
  return responder != nullptr && responder->tryToPerform(action, sender);
}

std::any Application::addMonitor(EventMask mask, Event::MonitorHandler handler) {
  const std::uint64_t id = ++lastMonitorId_;
  monitors_.push_back(std::make_shared<Monitor>(Monitor{id, mask, std::move(handler)}));
  return MonitorToken{id};
}

void Application::removeMonitor(const std::any& token) {
  const auto* monitorToken = std::any_cast<MonitorToken>(&token);
  if (monitorToken == nullptr) {
    return;
  }
  for (auto it = monitors_.begin(); it != monitors_.end(); ++it) {
    if ((*it)->id == monitorToken->id) {
      (*it)->removed = true;
      monitors_.erase(it);
      return;
    }
  }
}

void Application::displayWindow(Window& window) {
  if (backend_ != nullptr) {
    backend_->displayWindow(window);
  }
}

void Application::windowDidOrderOut(Window& window) {
  if (keyWindow_.lock().get() == &window) {
    keyWindow_.reset();
  }
  if (backend_ != nullptr) {
    backend_->windowDidOrderOut(window);
  }
}

}  // namespace appkit
