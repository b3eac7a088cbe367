// Times the cleaner's work on the GUI thread while a large home is scanned: a flush of 1,000 size
// events into a list of 10,000 items, and a rescan's discovery of all of them again. Each should
// fit in one frame (16 ms). Run in a Release build:
//   build-release/bench/hl_bench_cleaner [ROUNDS]

#include <QCoreApplication>
#include <QDir>
#include <QSettings>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "services/system/tool_locator.h"
#include "viewmodels/activity_log.h"
#include "viewmodels/cleaner/cleaner_view_model.h"
#include "viewmodels/history_view_model.h"
#include "viewmodels/settings_store.h"

using namespace hl;
using namespace std::chrono_literals;
using Event = CacheScanEvent;

namespace {

constexpr int kItems = 10000;
constexpr int kSized = 1000;

// Runs background jobs at once and queued tasks when asked, all on this thread.
class QueueExecutor : public FlowExecutor {
 public:
  void runInBackground(std::function<void()> job) override { job(); }
  void post(std::function<void()> task) override { tasks_.push_back(std::move(task)); }
  void after(std::chrono::nanoseconds, std::function<void()>) override {}
  void run() {
    while (!tasks_.empty()) {
      auto task = std::move(tasks_.front());
      tasks_.pop_front();
      task();
    }
  }

 private:
  std::deque<std::function<void()>> tasks_;
};

class BenchEngine : public CleanerScanEngine {
 public:
  struct NoRun : Run {
    void cancel() override {}
  };
  std::unique_ptr<Run> start(Request, EventSink eventSink, std::function<void()> ended) override {
    sink = std::move(eventSink);
    end = std::move(ended);
    return std::make_unique<NoRun>();
  }
  void forget(const std::vector<std::string>&) override {}
  ToolLocator& tools() override { return locator; }

  EventSink sink;
  std::function<void()> end;
  ToolLocator locator;
};

std::vector<CacheItem> benchItems() {
  std::vector<CacheItem> items;
  items.reserve(kItems);
  for (int i = 0; i < kItems; ++i) {
    CacheItemInit init;
    const CacheGroup group = allCacheGroups[static_cast<std::size_t>(i) % 8];
    init.url = "/home/bench/" + std::string(rawValue(group)) + "/item-" + std::to_string(i);
    init.group = group;
    init.risk = i % 3 == 0 ? RiskLevel::moderate : RiskLevel::safe;
    init.home = "/home/bench";
    items.emplace_back(std::move(init));
  }
  return items;
}

double milliseconds(std::chrono::steady_clock::duration duration) {
  return std::chrono::duration<double, std::milli>(duration).count();
}

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

struct Round {
  double flush = 0;
  double rediscovery = 0;
};

Round runRound(bool withView, const std::string& folder) {
  Instant monotonic{};
  auto executor = std::make_shared<QueueExecutor>();
  auto engine = std::make_shared<BenchEngine>();
  SettingsStore settings(std::make_unique<QSettings>(
      QString::fromStdString(folder + "/Harborlume.conf"), QSettings::IniFormat));
  ActivityLog activity;
  HistoryViewModel history(std::make_shared<HistoryStore>(folder + "/history.json"), activity);
  CleanerDependencies dependencies;
  dependencies.executor = executor;
  dependencies.engine = engine;
  dependencies.home = "/home/bench";
  dependencies.monotonicClock = [&monotonic] { return monotonic; };
  dependencies.fullDiskAccess = [] { return FullDiskAccess::Status::notApplicable; };
  CleanerViewModel cleaner(settings, activity, history, std::move(dependencies));

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

  const std::vector<CacheItem> items = benchItems();
  cleaner.rescan(true);
  executor->run();
  engine->sink(Event(Event::Value(Event::Discovered{items, {}})));
  executor->run();

  // 1,000 sizes within the batching window, then one past it flushes them all.
  for (int i = 0; i < kSized; ++i) {
    DirectoryMeasurement measurement;
    measurement.size = 1000 + i * 7;
    measurement.fileCount = 3;
    measurement.isReadable = true;
    engine->sink(Event(Event::Value(Event::ItemSized{items[static_cast<std::size_t>(i) * 10].id,
                                                     measurement})));
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
