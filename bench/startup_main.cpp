// Times the program's start-up as a user of the given home would live it: from the first line
// of `main` to the moment the application model took in the scan's first `discovered` event,
// with the real composition root, the main window on the offscreen platform and the automatic
// first scan. After the scan has ended it prints the process's peak memory (and, apart, that of
// the largest command the scan ran) and quits.
//
//   bench/make_synthetic_home.sh /tmp/hl-home
//   build-release/bench/hl_bench_startup /tmp/hl-home
//
// The launch is read-only: nothing can be removed, whatever the home holds. The home's own
// settings, data and cache folders stand in for the user's (nothing is written there unless a
// setting is changed).

#include <QApplication>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <sys/resource.h>

#include "bench_launch.h"
#include "app/composition/composition_root.h"
#include "platform/memory_release.h"
#include "views/shell/main_window.h"

namespace {

using Clock = std::chrono::steady_clock;

double millisecondsBetween(Clock::time_point from, Clock::time_point to) {
  return std::chrono::duration<double, std::milli>(to - from).count();
}

}  // namespace

int main(int argc, char** argv) {
  // As the program does, before any thread starts.
  hl::MemoryRelease::configure();
  const Clock::time_point begin = Clock::now();
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s HOME\n", argv[0]);
    return 2;
  }
  std::error_code error;
  const std::filesystem::path home = std::filesystem::canonical(argv[1], error);
  if (error || !std::filesystem::is_directory(home)) {
    std::fprintf(stderr, "%s is not a folder\n", argv[1]);
    return 2;
  }
  hl::bench::ProgramLaunch launch(argv[0], home);
  QApplication app(launch.count(), launch.arguments());
  hl::bench::ProgramLaunch::named();

  hl::AppModel& model = hl::AppModel::shared();
  hl::CleanerViewModel& cleaner = model.cleaner();
  std::optional<Clock::time_point> discovered;
  std::optional<Clock::time_point> ended;
  // The first list the cleaner takes in is the scan's `discovered` event.
  QObject::connect(&cleaner, &hl::CleanerViewModel::itemsRevisionChanged, &app, [&] {
    if (!discovered) discovered = Clock::now();
  });
  QObject::connect(&cleaner, &hl::CleanerViewModel::isScanningChanged, &app, [&] {
    if (ended || cleaner.isScanning() || !cleaner.hasScanned()) return;
    ended = Clock::now();
    QApplication::quit();
  });
  hl::MainWindow window(model);
  window.show();
  model.start(true);
  QApplication::exec();

  if (!discovered || !ended) {
    std::fprintf(stderr, "the scan did not run to its end\n");
    return 1;
  }
  // The program's own peak; the tools it asks where their caches are (a package manager's
  // runtime, say) are processes of their own and reported apart.
  rusage own{};
  ::getrusage(RUSAGE_SELF, &own);
  rusage tools{};
  ::getrusage(RUSAGE_CHILDREN, &tools);
  std::printf(
      "first_discovered_ms=%.1f scan_ended_ms=%.1f items=%zu peak_rss_mb=%.1f "
      "largest_child_rss_mb=%.1f\n",
      millisecondsBetween(begin, *discovered), millisecondsBetween(begin, *ended),
      cleaner.items().size(), static_cast<double>(own.ru_maxrss) / 1024.0,
      static_cast<double>(tools.ru_maxrss) / 1024.0);
  return 0;
}
