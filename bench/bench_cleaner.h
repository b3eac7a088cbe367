#pragma once

// The pieces the benchmarks of the cleaner and its table share: an executor that runs
// everything on this thread, an engine the benchmark feeds by hand, items of every group, and
// the arithmetic of the figures.

#include <algorithm>
#include <chrono>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>


#include "app/composition/real_services.h"
#include "services/system/tool_locator.h"
#include "viewmodels/activity_log.h"
#include "viewmodels/cleaner/cleaner_view_model.h"
#include "viewmodels/history_view_model.h"
#include "viewmodels/settings_store.h"

namespace hl::bench {

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

// An engine whose one run receives whatever the benchmark sends.
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
  std::optional<DirectoryMeasurement> measure(const CacheItem&, std::stop_token) override {
    return std::nullopt;
  }
  ToolLocator& tools() override { return locator; }

  void send(CacheScanEvent::Value value) { sink(CacheScanEvent(std::move(value))); }

  EventSink sink;
  std::function<void()> end;
  ToolLocator locator;
};

// A cleaner over the hand-fed engine, its settings and history in `folder`, its batching clock
// moved by the benchmark.
struct BenchCleaner {
  explicit BenchCleaner(const std::string& folder)
      : settings(folder + "/Harborlume.conf"),
        history(std::make_shared<HistoryStore>(folder + "/history.json"), activity) {
    // The program's services (nothing is removed here), the engine fed by hand.
    CleanerDependencies dependencies =
        CompositionRoot::cleanerServices("/home/bench", DestructiveGate::current());
    dependencies.executor = executor;
    dependencies.engine = engine;
    dependencies.home = "/home/bench";
    dependencies.monotonicClock = [this] { return monotonic; };
    dependencies.fullDiskAccess = [] { return FullDiskAccess::Status::notApplicable; };
    cleaner = std::make_unique<CleanerViewModel>(settings, activity, history,
                                                 std::move(dependencies));
  }

  Instant monotonic{};
  std::shared_ptr<QueueExecutor> executor = std::make_shared<QueueExecutor>();
  std::shared_ptr<BenchEngine> engine = std::make_shared<BenchEngine>();
  SettingsStore settings;
  ActivityLog activity;
  HistoryViewModel history;
  std::unique_ptr<CleanerViewModel> cleaner;
};

// `count` unmeasured items spread over the first eight groups, a third of them moderate.
inline std::vector<CacheItem> benchItems(int count) {
  std::vector<CacheItem> items;
  items.reserve(static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i) {
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

inline DirectoryMeasurement benchMeasurement(std::int64_t size) {
  DirectoryMeasurement measurement;
  measurement.size = size;
  measurement.fileCount = 3;
  measurement.isReadable = true;
  return measurement;
}

inline double milliseconds(std::chrono::steady_clock::duration duration) {
  return std::chrono::duration<double, std::milli>(duration).count();
}

inline double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

}  // namespace hl::bench
