#pragma once

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <stop_token>
#include <string>
#include <vector>

#include "services/system/tool_locator.h"
#include "viewmodels/cleaner/cleaner_dependencies.h"

namespace hl::test {

// A scan engine whose runs send exactly what the test tells them, when it tells them.
class ScriptedScanEngine : public CleanerScanEngine {
 public:
  struct StartedRun {
    Request request;
    EventSink sink;
    std::function<void()> ended;
    bool cancelled = false;
  };

  std::unique_ptr<Run> start(Request request, EventSink sink,
                             std::function<void()> ended) override {
    auto run = std::make_shared<StartedRun>(
        StartedRun{std::move(request), std::move(sink), std::move(ended), false});
    runs.push_back(run);
    return std::make_unique<Handle>(run);
  }
  void forget(const std::vector<std::string>& ids) override { forgotten.push_back(ids); }
  // Answers with `measurements` (none for an id without one), whatever the stop says.
  std::optional<DirectoryMeasurement> measure(const CacheItem& item,
                                              std::stop_token stop) override {
    measured.push_back(item.id);
    lastStop = stop;
    if (onMeasure) onMeasure();
    const auto found = measurements.find(item.id);
    if (found == measurements.end()) return std::nullopt;
    return found->second;
  }
  ToolLocator& tools() override { return locator_; }

  // Sends an event (or an event's payload) as run `index` (default: the latest).
  template <typename Payload>
  void send(Payload payload, int index = -1) {
    at(index).sink(CacheScanEvent(CacheScanEvent::Value(std::move(payload))));
  }
  // Ends the stream of run `index`.
  void end(int index = -1) { at(index).ended(); }

  StartedRun& at(int index) { return *runs.at(index < 0 ? runs.size() - 1 : index); }

  std::vector<std::shared_ptr<StartedRun>> runs;
  std::vector<std::vector<std::string>> forgotten;
  // The answers of `measure` by item id, the ids it was asked about in order, and what it does
  // as it is asked.
  std::map<std::string, DirectoryMeasurement> measurements;
  std::vector<std::string> measured;
  std::function<void()> onMeasure;
  // The stop handed to the last `measure`.
  std::stop_token lastStop;

 private:
  class Handle : public Run {
   public:
    explicit Handle(std::shared_ptr<StartedRun> run) : run_(std::move(run)) {}
    ~Handle() override { cancel(); }
    void cancel() override { run_->cancelled = true; }

   private:
    std::shared_ptr<StartedRun> run_;
  };

  ToolLocator locator_;
};

}  // namespace hl::test
