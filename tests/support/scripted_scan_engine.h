#pragma once

#include <functional>
#include <memory>
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
