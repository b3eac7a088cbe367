// What a program that stays in the tray all day keeps of its scans: the application model as the
// program wires it, with the main window on the offscreen platform (as the start-up benchmark
// has it), scans the home once and then N more times, forced as a user's Rescan is, and prints
// the resident memory after the first scan and after the last, with the time each scan took.
// Memory is read once the program has been idle for a second after the scan, as it is between a
// user's scans: work that a scan leaves to the background (freeing a replaced tree) is done.
//
//   hl_bench_rescan HOME N                the cleaner's scan of HOME
//   hl_bench_rescan --folder TREE N HOME  the folder scanner's scan of TREE, in the program
//                                         started over HOME
//
// Prints on one line: first_rss_mb, last_rss_mb, ratio (last / first), first_ms (the first scan)
// and rescan_ms (the median of the others). The launch is read-only, as the start-up benchmark's.

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QThread>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "bench_launch.h"
#include "app/composition/composition_root.h"
#include "platform/memory_release.h"
#include "views/shell/main_window.h"

namespace {

using Clock = std::chrono::steady_clock;

double residentMB() {
  QFile status(QStringLiteral("/proc/self/status"));
  if (!status.open(QIODevice::ReadOnly)) return -1;
  for (const QByteArray& line : status.readAll().split('\n')) {
    if (line.startsWith("VmRSS:")) {
      return static_cast<double>(line.mid(6).trimmed().split(' ').front().toLong()) / 1024.0;
    }
  }
  return -1;
}

// Handles events for a second, as an idle program would, then reads the resident memory.
double settledResidentMB() {
  QElapsedTimer idle;
  idle.start();
  while (idle.elapsed() < 1000) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    QThread::msleep(10);
  }
  return residentMB();
}

int usage(const char* program) {
  std::fprintf(stderr, "usage: %s HOME N | %s --folder TREE N HOME\n", program, program);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  // As the program does, before any thread starts.
  hl::MemoryRelease::configure();
  std::string folder;
  std::vector<std::string> arguments(argv + 1, argv + argc);
  if (!arguments.empty() && arguments.front() == "--folder") {
    if (arguments.size() != 4) return usage(argv[0]);
    folder = std::filesystem::absolute(arguments[1]).lexically_normal().string();
    arguments = {arguments[3], arguments[2]};
  }
  if (arguments.size() != 2) return usage(argv[0]);
  const int rescans = std::atoi(arguments[1].c_str());
  std::error_code error;
  const std::filesystem::path home = std::filesystem::canonical(arguments[0], error);
  if (error || !std::filesystem::is_directory(home) || rescans < 1) return usage(argv[0]);
  if (!folder.empty() && !std::filesystem::is_directory(folder)) return usage(argv[0]);
  hl::bench::ProgramLaunch launch(argv[0], home);
  QApplication app(launch.count(), launch.arguments());
  hl::bench::ProgramLaunch::named();

  hl::AppModel& model = hl::AppModel::shared();
  hl::CleanerViewModel& cleaner = model.cleaner();
  hl::ScannerViewModel& scanner = model.scanner();
  hl::MainWindow window(model);
  window.show();

  // One scan at a time; each ends when its view model stops scanning.
  std::vector<double> took;
  Clock::time_point started;
  std::function<void()> scanOnce;
  double firstRSS = 0;
  const auto ended = [&] {
    took.push_back(std::chrono::duration<double, std::milli>(Clock::now() - started).count());
    if (took.size() == 1) firstRSS = settledResidentMB();
    if (static_cast<int>(took.size()) > rescans) {
      QApplication::quit();
      return;
    }
    // Queued: the view model finishes its own work on this event first.
    QMetaObject::invokeMethod(&app, scanOnce, Qt::QueuedConnection);
  };
  if (folder.empty()) {
    QObject::connect(&cleaner, &hl::CleanerViewModel::isScanningChanged, &app, [&] {
      if (!cleaner.isScanning() && cleaner.hasScanned()) ended();
    });
    scanOnce = [&] {
      started = Clock::now();
      cleaner.rescan(true);
    };
    started = Clock::now();
    model.start(true);
  } else {
    QObject::connect(&scanner, &hl::ScannerViewModel::isScanningChanged, &app, [&] {
      if (!scanner.isScanning()) ended();
    });
    scanOnce = [&] {
      started = Clock::now();
      scanner.scan(folder);
    };
    model.start(false);
    QMetaObject::invokeMethod(&app, scanOnce, Qt::QueuedConnection);
  }
  QApplication::exec();

  if (!folder.empty() && !scanner.root()) {
    std::fprintf(stderr, "the folder scan gave no tree: %s\n",
                 scanner.errorMessage().value_or("no tree").c_str());
    return 1;
  }
  const double lastRSS = settledResidentMB();
  std::vector<double> others(took.begin() + 1, took.end());
  std::sort(others.begin(), others.end());
  std::printf("first_rss_mb=%.1f last_rss_mb=%.1f ratio=%.3f first_ms=%.0f rescan_ms=%.0f\n",
              firstRSS, lastRSS, lastRSS / firstRSS, took.front(), others[others.size() / 2]);
  std::fflush(stdout);
  // Measured: the process does not take its trees apart on the way out.
  std::_Exit(0);
}
