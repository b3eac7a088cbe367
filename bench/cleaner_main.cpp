// Times the cleaner's work on the GUI thread while a large home is scanned: a flush of 1,000 size
// events into a list of 10,000 items, and a rescan's discovery of all of them again. Each should
// fit in one frame (16 ms). Run in a Release build:
//   build-release/bench/hl_bench_cleaner [ROUNDS]

#include <QCoreApplication>
#include <QDir>
#include <cstdio>
#include <cstdlib>

#include "bench_cleaner.h"

using namespace hl;
using namespace hl::bench;
using namespace std::chrono_literals;
using Event = CacheScanEvent;

namespace {

constexpr int kItems = 10000;
constexpr int kSized = 1000;

struct Round {
  double flush = 0;
  double rediscovery = 0;
};

Round runRound(bool withView, const std::string& folder) {
  BenchCleaner bench(folder);
  Instant& monotonic = bench.monotonic;
  QueueExecutor* executor = bench.executor.get();
  BenchEngine* engine = bench.engine.get();
  CleanerViewModel& cleaner = *bench.cleaner;

  // A view reads what a table and the status bar read whenever they are told of a change.
  std::size_t seen = 0;
  if (withView) {
    QObject::connect(&cleaner, &CleanerViewModel::visibleItemsChanged, &cleaner,
                     [&] { seen += cleaner.visibleItems().size(); });
    QObject::connect(&cleaner, &CleanerViewModel::statusTextChanged, &cleaner,
                     [&] { seen += cleaner.statusText().size(); });
    QObject::connect(&cleaner, &CleanerViewModel::checkStateChanged, &cleaner,
                     [&] { seen += static_cast<std::size_t>(cleaner.visibleCheckState()); });
  }

  const std::vector<CacheItem> items = benchItems(kItems);
  cleaner.rescan(true);
  executor->run();
  engine->sink(Event(Event::Value(Event::Discovered{items, {}})));
  executor->run();

  // 1,000 sizes within the batching window, then one past it flushes them all.
  for (int i = 0; i < kSized; ++i) {
    engine->send(Event::ItemSized{items[static_cast<std::size_t>(i) * 10].id,
                                  benchMeasurement(1000 + i * 7)});
  }
  executor->run();
  monotonic += 200ms;
  engine->sink(Event(Event::Value(Event::GroupFinished{CacheGroup::aiWorktrees})));
  const auto flushStart = std::chrono::steady_clock::now();
  executor->run();
  Round round;
  round.flush = milliseconds(std::chrono::steady_clock::now() - flushStart);
  engine->end();
  executor->run();

  // A rescan finds every item again, unmeasured: the sizes carry over.
  cleaner.rescan(true);
  executor->run();
  engine->sink(Event(Event::Value(Event::Discovered{items, {}})));
  const auto discoveryStart = std::chrono::steady_clock::now();
  executor->run();
  round.rediscovery = milliseconds(std::chrono::steady_clock::now() - discoveryStart);
  if (cleaner.items().size() != items.size() || !cleaner.items()[0].size) std::abort();
  if (withView && seen == 0) std::abort();
  return round;
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 9;
  const std::string folder = QDir::tempPath().toStdString() + "/hl-bench-cleaner-" +
                             std::to_string(QCoreApplication::applicationPid());
  QDir().mkpath(QString::fromStdString(folder));
  for (const bool withView : {false, true}) {
    std::vector<double> flushes;
    std::vector<double> discoveries;
    for (int i = 0; i < rounds; ++i) {
      const Round round = runRound(withView, folder);
      flushes.push_back(round.flush);
      discoveries.push_back(round.rediscovery);
    }
    std::printf("%-22s items=%d sized=%d flush=%.2f ms rediscovery=%.2f ms (median of %d)\n",
                withView ? "with a reading view:" : "model only:", kItems, kSized,
                median(flushes), median(discoveries), rounds);
  }
  QDir(QString::fromStdString(folder)).removeRecursively();
  return 0;
}
