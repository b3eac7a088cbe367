// hl_bench_folder_scan [--judged] TREE
//
// Shows the folder scanner page (on the offscreen platform unless QT_QPA_PLATFORM says
// otherwise), scans TREE through it as a user does, waits until the tree is painted, then
// expands the largest top-level folder and paints again. Prints on one line:
//   shown_ms       from asking for the scan to the painted tree
//   gui_gap_ms     the longest the GUI thread went without handling its events from the
//                  request until the tree was painted (a 1 ms timer that could not run)
//   gui_busy_ms    the most processor time the GUI thread spent between two of those ticks:
//                  its own work, apart from the time other threads and processes held the
//                  processors (on a loaded machine the gap can be long while this is short)
//   expand_ms      expanding the largest folder and painting its rows
//   rows           the rows shown after expanding
//   nodes          the nodes of the tree
//   peak_kb        the process's peak resident memory (VmHWM)
// With --judged the GUI thread is watched on until the removal policy's first judgement of the
// top-level rows has been shown as well, and judged_ms (from asking for the scan) is printed; the
// memory then includes what the judgement needed.
// Hidden entries are included, as the page does by default. Compare with
// `hl_bench_measure --tree TREE`, the same walk without the page.
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QHBoxLayout>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <ctime>
#include <cstdlib>
#include <memory>
#include <string>

#include "app/composition/real_services.h"
#include "platform/absolute_path.h"
#include "platform/memory_release.h"
#include "platform/user_folders.h"
#include "utilities/path_canonical.h"
#include "viewmodels/activity_log.h"
#include "viewmodels/history_view_model.h"
#include "viewmodels/scanner/scanner_view_model.h"
#include "views/pages/scanner/file_tree_model.h"
#include "views/pages/scanner/file_tree_view.h"
#include "views/pages/scanner/scanner_sidebar.h"
#include "views/pages/scanner/scanner_view.h"

namespace {

double threadProcessorMs() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

long peakResidentKB() {
  QFile status(QStringLiteral("/proc/self/status"));
  if (!status.open(QIODevice::ReadOnly)) return -1;
  for (const QByteArray& line : status.readAll().split('\n')) {
    if (line.startsWith("VmHWM:")) return line.mid(6).trimmed().split(' ').front().toLong();
  }
  return -1;
}

}  // namespace

int main(int argc, char** argv) {
  // As the program does, before any thread starts.
  hl::MemoryRelease::configure();
  const bool judged = argc == 3 && std::string(argv[1]) == "--judged";
  if (argc != (judged ? 3 : 2) || argv[argc - 1][0] == '\0') {
    std::fprintf(stderr, "usage: hl_bench_folder_scan [--judged] TREE\n");
    return 2;
  }
  // A relative path is scanned where it is, by its absolute name, as the page's folder chooser
  // hands it over: otherwise every node would carry a canonical id apart from its path.
  const std::optional<std::string> absolute = hl::absolutePath(argv[argc - 1]);
  if (!absolute) {
    std::fprintf(stderr, "usage: hl_bench_folder_scan TREE\n");
    return 2;
  }
  const std::string tree = hl::cleanPath(*absolute);
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);

  // Nothing is removed here; the history goes to a scratch file all the same.
  QTemporaryDir scratch;
  hl::ActivityLog activity;
  auto store = std::make_shared<hl::HistoryStore>(scratch.filePath("history.json").toStdString());
  hl::HistoryViewModel history(store, activity);
  hl::ScannerViewModel scanner(
      activity, history, nullptr,
      hl::CompositionRoot::scannerServices(hl::homeDirectory(), hl::DestructiveGate::current()));

  QWidget window;
  auto* row = new QHBoxLayout(&window);
  row->setContentsMargins(0, 0, 0, 0);
  auto* sidebar = new hl::ScannerSidebar(scanner, &window);
  sidebar->setFixedWidth(240);
  row->addWidget(sidebar);
  auto* view = new hl::ScannerView(scanner, hl::systemMonotonicClock(), &window);
  row->addWidget(view, 1);
  window.resize(1200, 800);
  window.show();
  QCoreApplication::processEvents();

  QElapsedTimer clock;
  qint64 lastTick = 0;
  qint64 longestGap = 0;
  double lastProcessor = threadProcessorMs();
  double longestBusy = 0;
  bool measuring = true;
  QTimer tick;
  tick.setTimerType(Qt::PreciseTimer);
  tick.setInterval(1);
  QObject::connect(&tick, &QTimer::timeout, [&] {
    if (!measuring) return;
    const qint64 now = clock.nsecsElapsed();
    const double processor = threadProcessorMs();
    longestGap = std::max(longestGap, now - lastTick);
    longestBusy = std::max(longestBusy, processor - lastProcessor);
    lastTick = now;
    lastProcessor = processor;
  });

  QEventLoop loop;
  QObject::connect(&scanner, &hl::ScannerViewModel::isScanningChanged, &loop, [&] {
    if (!scanner.isScanning()) loop.quit();
  });
  bool refusalsShown = false;
  QObject::connect(&scanner, &hl::ScannerViewModel::refusalsChanged, &loop, [&] {
    // The first judgement of a new tree is the view model's own, made once the tree is in.
    if (scanner.root()) refusalsShown = true;
  });
  clock.start();
  lastProcessor = threadProcessorMs();
  tick.start();
  scanner.scan(tree);
  loop.exec();
  window.repaint();
  const qint64 now = clock.nsecsElapsed();
  longestGap = std::max(longestGap, now - lastTick);
  longestBusy = std::max(longestBusy, threadProcessorMs() - lastProcessor);
  const double shownMs = static_cast<double>(now) / 1e6;
  double judgedMs = 0;
  if (judged && scanner.root()) {
    while (!refusalsShown) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    window.repaint();
    judgedMs = static_cast<double>(clock.nsecsElapsed()) / 1e6;
    longestBusy = std::max(longestBusy, threadProcessorMs() - lastProcessor);
  }
  measuring = false;
  if (!scanner.root()) {
    std::fprintf(stderr, "hl_bench_folder_scan: %s\n",
                 scanner.errorMessage().value_or("no tree").c_str());
    return 1;
  }

  hl::FileTreeView* treeView = view->tree();
  QElapsedTimer expanding;
  expanding.start();
  treeView->expand(treeView->treeModel()->index(0, 0));
  window.repaint();
  const double expandMs = static_cast<double>(expanding.nsecsElapsed()) / 1e6;
  const int rows = treeView->treeModel()->rowCount() +
                   treeView->treeModel()->rowCount(treeView->treeModel()->index(0, 0));

  long long nodes = 0;
  scanner.root()->forEachNode([&](const hl::FileNode&) { ++nodes; });
  std::printf(
      "shown_ms=%.1f gui_gap_ms=%.1f gui_busy_ms=%.1f expand_ms=%.1f rows=%d nodes=%lld "
      "peak_kb=%ld",
      shownMs, static_cast<double>(longestGap) / 1e6, longestBusy, expandMs, rows, nodes,
      peakResidentKB());
  if (judged) std::printf(" judged_ms=%.1f", judgedMs);
  std::printf("\n");
  // What is timed ends here: the process does not take the tree apart node by node, as the
  // headless walk it is compared with does not.
  std::fflush(stdout);
  std::_Exit(0);
}
