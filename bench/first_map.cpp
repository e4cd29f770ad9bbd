// Times a program from exec to its first window on screen: watches the X
// server of $DISPLAY for the first top-level window mapped after it starts the
// program, prints the milliseconds in between and ends the program.
// Usage: first_map PROGRAM [ARGUMENT]...

#include <sys/wait.h>
#include <unistd.h>
#include <xcb/xcb.h>
#include <csignal>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fputs("usage: first_map PROGRAM [ARGUMENT]...\n", stderr);
    return 2;
  }
  struct Disconnect {
    void operator()(xcb_connection_t* connection) const { xcb_disconnect(connection); }
  };
  const std::unique_ptr<xcb_connection_t, Disconnect> x(xcb_connect(nullptr, nullptr));
  if (xcb_connection_has_error(x.get()) != 0) {
    std::fputs("first_map: cannot open the display\n", stderr);
    return 1;
  }
  const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(x.get())).data->root;
  const std::uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
  xcb_request_check(x.get(),
                    xcb_change_window_attributes_checked(x.get(), root, XCB_CW_EVENT_MASK, &mask));
  const auto start = std::chrono::steady_clock::now();
  const pid_t child = fork();
  if (child == 0) {
    execvp(argv[1], argv + 1);
    std::_Exit(127);
  }
  int status = 0;
  while (true) {
    const std::unique_ptr<xcb_generic_event_t, decltype(&std::free)> event(
        xcb_wait_for_event(x.get()), &std::free);
    if (event == nullptr) {
      std::fputs("first_map: the display went away\n", stderr);
      kill(child, SIGTERM);
      waitpid(child, &status, 0);
      return 1;
    }
    if ((event->response_type & 0x7F) == XCB_MAP_NOTIFY) {
      break;
    }
  }
  const std::chrono::duration<double, std::milli> elapsed =
      std::chrono::steady_clock::now() - start;
  std::printf("%.1f\n", elapsed.count());
  kill(child, SIGTERM);
  waitpid(child, &status, 0);
  return 0;
}
