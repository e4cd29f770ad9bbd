// The desktop window's costs, on a real X server (run it under Xvfb:
// `xvfb-run -a build/bin/desktop_bench`).
//
//   BM_FirstWindowMapped  in a fresh process each (this program started
//             again): from the choice of the desktop backend to the
//             reminder's window exposed on the X server (Qt's Expose after the
//             map), as in `velk-host remind`: the plugin and Qt loaded, the X
//             server tried, alert()'s lock and read, the storyboard, the
//             QApplication the backend makes, the window built and mapped.
//   BM_PluginFirstLoad  in a fresh process each: the first
//             EventBackend::named("desktop") alone: dlopen of the plugin and of
//             Qt, and the X server tried.
//   BM_AlertToWindowMapped  in a host that has a QApplication: alert() on a
//             history with two records due, until the window is exposed.
// Every window is closed through its title bar, outside the measured time.
//
// A process makes one QApplication at a time, as hosts do: Qt 6.4's xcb
// platform fails to connect (and aborts) after some tens of QApplications
// made and destroyed in one process.

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QTimer>
#include <QWidget>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <string>

#include "BenchHome.h"
#include "VelkUpdateReminder/VelkUpdateReminderCommon.h"
#include "VelkUpdateReminder/VelkUpdateReminderDialog.h"
#include "appkit/Application.h"
#include "appkit/EventBackend.h"
#include "foundation/Clock.h"

namespace {

using Clock = std::chrono::steady_clock;

// Today is 15 January 2030: two of the three records are due.
constexpr const char* kHistory =
    "1\n"
    "S,0A,2030-03-01,2029-06-01 10:00:00\n"
    "A,0B,2030-02-01,2029-06-02 10:00:00\n"
    "S,10,2031-01-01,2029-06-03 10:00:00\n";

// Notes when a window of the application is first exposed, then closes the
// windows through their title bars once the event loop is free again.
class ExposeWatch : public QObject {
 public:
  std::optional<Clock::time_point> exposed;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Expose && !exposed) {
      exposed = Clock::now();
      QTimer::singleShot(0, [] {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
          widget->close();
        }
      });
    }
    return QObject::eventFilter(watched, event);
  }
};

ExposeWatch* watch = nullptr;

// Runs alert() on a fresh copy of the history with `watch` on the window;
// the seconds from `start` to the window exposed, or nullopt.
std::optional<double> alertUntilExposed(Clock::time_point start) {
  std::ofstream(VelkUpdateReminderCommon::getCertificateHistoryFilePath()) << kHistory;
  ExposeWatch current;
  watch = &current;
  if (qApp != nullptr) {
    qApp->installEventFilter(&current);
  }
  std::make_shared<VelkUpdateReminderDialog>(std::nullopt, nullptr)->alert();
  watch = nullptr;
  if (!current.exposed) {
    return std::nullopt;
  }
  return std::chrono::duration<double>(*current.exposed - start).count();
}

// The child's jobs: prints the seconds measured, -1 on failure.
int child(const std::string& job) {
  const Clock::time_point start = Clock::now();
  std::unique_ptr<appkit::EventBackend> backend = appkit::EventBackend::named("desktop");
  double seconds = -1;
  if (job == "--first-load" && backend != nullptr) {
    seconds = std::chrono::duration<double>(Clock::now() - start).count();
  } else if (job == "--first-window" && backend != nullptr) {
    appkit::Application::shared().setEventBackend(std::move(backend));
    seconds = alertUntilExposed(start).value_or(-1);
    appkit::Application::shared().setEventBackend(nullptr);
  }
  std::printf("%.9f\n", seconds);
  return 0;
}

// Runs this program again with `job` for each iteration.
void inChild(benchmark::State& state, const char* job) {
  const std::string command = std::filesystem::read_symlink("/proc/self/exe").string() + " " + job;
  for (auto _ : state) {
    struct Close {
      void operator()(FILE* file) const { ::pclose(file); }
    };
    const std::unique_ptr<FILE, Close> process(::popen(command.c_str(), "r"));
    double seconds = -1;
    if (process == nullptr || std::fscanf(process.get(), "%lf", &seconds) != 1 || seconds < 0) {
      state.SkipWithError("the child found no window");
      break;
    }
    state.SetIterationTime(seconds);
  }
}

void BM_FirstWindowMapped(benchmark::State& state) { inChild(state, "--first-window"); }
void BM_PluginFirstLoad(benchmark::State& state) { inChild(state, "--first-load"); }

void BM_AlertToWindowMapped(benchmark::State& state) {
  int argc = 1;
  std::string name = "host";
  std::array<char*, 2> argv = {name.data(), nullptr};
  const QApplication host(argc, argv.data());
  appkit::Application::shared().setEventBackend(appkit::EventBackend::named("desktop"));
  for (auto _ : state) {
    const auto seconds = alertUntilExposed(Clock::now());
    if (!seconds) {
      state.SkipWithError("the window was never exposed");
      break;
    }
    state.SetIterationTime(*seconds);
  }
  appkit::Application::shared().setEventBackend(nullptr);
}

BENCHMARK(BM_FirstWindowMapped)
    ->UseManualTime()
    ->Iterations(4)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PluginFirstLoad)
    ->UseManualTime()
    ->Iterations(4)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AlertToWindowMapped)
    ->UseManualTime()
    ->Iterations(20)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true)
    ->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  const char* display = std::getenv("DISPLAY");  // NOLINT(concurrency-mt-unsafe): no threads yet
  if (display == nullptr || *display == '\0') {
    std::fprintf(stderr, "desktop_bench needs an X server: xvfb-run -a %s\n", argv[0]);
    return 1;
  }
  const foundation::ScopedClock clock([] {
    return foundation::Date(std::chrono::sys_days(std::chrono::year{2030} / 1 / 15) +
                            std::chrono::hours(12));
  });
  // A QApplication the backend makes gets the watch on its events.
  qAddPreRoutine([] {
    if (watch != nullptr) {
      qApp->installEventFilter(watch);
    }
  });
  // A child run works in its parent's home.
  if (const std::string job = argc == 2 ? argv[1] : "";
      job == "--first-window" || job == "--first-load") {
    return child(job);
  }
  const BenchHome home;
  if (!home.valid()) {
    return 1;
  }
  std::filesystem::create_directories(
      std::filesystem::path(VelkUpdateReminderCommon::getCertificateHistoryFilePath())
          .parent_path());
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
