#include "viewmodels/cleaner/cleaner_dependencies.h"

#include <utility>

namespace hl {
namespace {

class ServiceRun : public CleanerScanEngine::Run {
 public:
  explicit ServiceRun(CacheScanService::Handle handle) : handle_(std::move(handle)) {}
  void cancel() override { handle_.cancel(); }

 private:
  CacheScanService::Handle handle_;
};

class ServiceEngine : public CleanerScanEngine {
 public:
  explicit ServiceEngine(std::shared_ptr<CacheScanService> service)
      : service_(std::move(service)) {}

  std::unique_ptr<Run> start(Request request, EventSink sink,
                             std::function<void()> ended) override {
    // Before the run begins, so none of its sizes can come from the cache.
    if (request.clearSizeCacheFirst) service_->invalidateCache();
    return std::make_unique<ServiceRun>(
        service_->scan(std::move(request.configuration), std::move(sink), std::move(ended)));
  }
  void forget(const std::vector<std::string>& ids) override { service_->forget(ids); }
  std::optional<DirectoryMeasurement> measure(const CacheItem& item,
                                              std::stop_token stop) override {
    return service_->remeasure(item, std::move(stop));
  }
  ToolLocator& tools() override { return service_->tools(); }

 private:
  std::shared_ptr<CacheScanService> service_;
};

class ServiceRemoval : public RemovalService {
 public:
  explicit ServiceRemoval(std::shared_ptr<TrashService> service) : service_(std::move(service)) {}
  const DestructiveGate& gate() const override { return service_->gate(); }
  TrashResult trash(const std::vector<TrashItem>& items, RemovalMode mode,
                    const TrashService::Progress& progress,
                    const FreedesktopTrash::ReservationNote& reserved) override {
    return service_->trash(items, mode, progress, reserved);
  }

 private:
  std::shared_ptr<TrashService> service_;
};

}  // namespace

std::shared_ptr<CleanerScanEngine> makeCacheScanEngine(std::shared_ptr<CacheScanService> service) {
  return std::make_shared<ServiceEngine>(std::move(service));
}

std::shared_ptr<RemovalService> makeRemovalService(std::shared_ptr<TrashService> service) {
  return std::make_shared<ServiceRemoval>(std::move(service));
}

}  // namespace hl
