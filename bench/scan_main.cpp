// Runs one whole cache scan over a home folder with the real services, as the program runs it
// for a user whose home that is, and prints every event as one line: its kind, the item id and
// the size where there is one, then the time since the scan started and the processor time this
// process had used by then. The last line of a run is
// "items=N total=N elapsed_ms=N"; the times of the `discovered` and `finished` events go to
// standard error.
//
//   hl_bench_scan [--twice] [--threads N] HOME
//
// --threads N sizes the walking pool (the program picks it from the cores).
// --twice scans a second time with the same service, so the second run finds every size in
// its cache. The last line also gives this process's own peak memory (peak_rss_mb) and, apart,
// that of the largest command the scan ran (largest_child_rss_mb): a package manager asked
// where its cache is may well be larger than the scan itself; and the processor time of this
// process (cpu_s) and of the commands it ran (commands_cpu_s: git, the tool probe).

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <optional>
#include <string>
#include <sys/resource.h>

#include "platform/absolute_path.h"
#include "platform/memory_release.h"
#include "services/measurement/walk_pool.h"
#include "services/scan/cache_scan_service.h"
#include "utilities/path_canonical.h"

namespace {

using Clock = std::chrono::steady_clock;
using Event = hl::CacheScanEvent;

double millisecondsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

std::string statusText(const hl::WorktreeStatus& status) {
  if (status.isClean()) return "clean";
  if (status.isUnknown()) return "unknown";
  if (status.isOwnClone()) return "ownClone";
  if (const auto* dirty = status.dirty()) {
    return "dirty(" + std::string(dirty->uncommitted ? "uncommitted" : "committed") + "," +
           std::to_string(dirty->unpushedCommits) + ")";
  }
  return "error(" + status.error()->message + ")";
}

// This process's processor time so far (the commands it ran are not counted), so that each
// event line tells how much the scan had used by then.
double ownProcessorMilliseconds() {
  struct rusage usage {};
  ::getrusage(RUSAGE_SELF, &usage);
  const auto ms = [](const timeval& t) { return t.tv_sec * 1e3 + t.tv_usec / 1e3; };
  return ms(usage.ru_utime) + ms(usage.ru_stime);
}

// Prints the events of one run as they come and notes what the summary needs.
class Printer {
 public:
  explicit Printer(Clock::time_point start) : start_(start) {}

  void print(const Event& event) {
    std::lock_guard lock(mutex_);
    const double at = millisecondsSince(start_);
    std::string line(hl::rawValue(event.kind()));
    if (const auto* discovered = event.get<Event::Discovered>()) {
      items_ += static_cast<long long>(discovered->items.size());
      line += " items=" + std::to_string(discovered->items.size()) +
              " notes=" + std::to_string(discovered->notes.size());
      discoveredAt_ = at;
    } else if (const auto* added = event.get<Event::Added>()) {
      items_ += static_cast<long long>(added->items.size());
      line += " items=" + std::to_string(added->items.size());
      for (const hl::CacheItem& row : added->items) {
        line += " " + row.id + (row.size ? " " + std::to_string(*row.size) : "");
      }
    } else if (const auto* sized = event.get<Event::ItemSized>()) {
      total_ += sized->measurement.size;
      line += " " + sized->id + " " + std::to_string(sized->measurement.size);
    } else if (const auto* group = event.get<Event::GroupFinished>()) {
      line += " " + std::string(hl::rawValue(group->group));
    } else if (const auto* status = event.get<Event::WorktreeStatus>()) {
      line += " " + status->id + " " + statusText(status->status);
    } else if (const auto* owners = event.get<Event::RunningOwners>()) {
      line += " owners=" + std::to_string(owners->owners.size());
    } else if (const auto* inUse = event.get<Event::InUse>()) {
      line += " reasons=" + std::to_string(inUse->evaluation.reasons.size()) +
              (inUse->evaluation.verification.isVerified() ? " verified" : " unverified");
    } else if (const auto* tools = event.get<Event::ToolsResolved>()) {
      line += " tools=" + std::to_string(tools->environment.available.size());
    } else if (const auto* finished = event.get<Event::Finished>()) {
      line += " seconds=" + std::to_string(finished->duration.count());
      finishedAt_ = at;
    }
    std::printf("%s t=%.1fms cpu=%.0fms\n", line.c_str(), at, ownProcessorMilliseconds());
  }

  void end() {
    std::lock_guard lock(mutex_);
    ended_ = true;
    changed_.notify_all();
  }

  void waitAndSummarize() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return ended_; });
    std::printf("items=%lld total=%lld elapsed_ms=%.0f\n", items_, total_,
                millisecondsSince(start_));
    std::fflush(stdout);
    std::fprintf(stderr, "discovered_ms=%.1f finished_ms=%s\n", discoveredAt_.value_or(-1),
                 finishedAt_ ? std::to_string(*finishedAt_).c_str() : "none");
  }

 private:
  Clock::time_point start_;
  std::mutex mutex_;
  std::condition_variable changed_;
  long long items_ = 0;
  long long total_ = 0;
  std::optional<double> discoveredAt_;
  std::optional<double> finishedAt_;
  bool ended_ = false;
};

void scanOnce(hl::CacheScanService& service, const hl::CacheScanConfiguration& configuration) {
  Printer printer(Clock::now());
  hl::CacheScanService::Handle handle = service.scan(
      configuration, [&printer](Event event) { printer.print(event); },
      [&printer] { printer.end(); });
  printer.waitAndSummarize();
}

}  // namespace

int main(int argc, char** argv) {
  // As the program does, before any thread starts.
  hl::MemoryRelease::configure();
  bool twice = false;
  std::string home;
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    if (argument == "--twice") {
      twice = true;
    } else if (argument == "--threads" && i + 1 < argc) {
      hl::WalkPool::setSharedThreadCount(static_cast<std::size_t>(std::atoi(argv[++i])));
    } else if (home.empty() && !argument.empty() && argument.front() != '-') {
      home = argument;
    } else {
      home.clear();
      break;
    }
  }
  if (home.empty()) {
    std::fprintf(stderr, "usage: %s [--twice] [--threads N] HOME\n", argv[0]);
    return 2;
  }
  // A relative home is the folder of that name here, never one below "/".
  if (const auto problem = hl::CacheScanService::homeProblem(home)) {
    std::fprintf(stderr, "%s: %s\n", argv[0], problem->c_str());
    return 1;
  }
  home = hl::cleanPath(*hl::absolutePath(home));
  // The home of the user the scan runs for: the login shell of the tool probe reads its
  // profile from there, and "~" in the user's paths means it.
  ::setenv("HOME", home.c_str(), 1);

  hl::CacheScanService service;
  hl::CacheScanConfiguration configuration;
  configuration.home = home;
  scanOnce(service, configuration);
  if (twice) {
    std::printf("--- second run, same service\n");
    scanOnce(service, configuration);
  }
  rusage own{};
  ::getrusage(RUSAGE_SELF, &own);
  rusage tools{};
  ::getrusage(RUSAGE_CHILDREN, &tools);
  const auto seconds = [](const rusage& usage) {
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
  };
  std::printf("peak_rss_mb=%.1f largest_child_rss_mb=%.1f cpu_s=%.3f commands_cpu_s=%.3f\n",
              static_cast<double>(own.ru_maxrss) / 1024.0,
              static_cast<double>(tools.ru_maxrss) / 1024.0, seconds(own), seconds(tools));
  return 0;
}
