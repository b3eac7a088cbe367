// Runs discovery over a home folder the way a scan does and prints how long it takes: the
// whole pass and, apart, its two walks (worktrees and projects); the rest is the catalog and
// the claims. The file system's caches are warm after the first run, which is not counted.
//
//   hl_bench_discover [--sequential] HOME [RUNS]   --sequential: every walk on one thread
//   hl_bench_discover --list HOME     prints every item and note instead, to compare with the disk

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include <sys/resource.h>

#include "models/cache_group.h"
#include "platform/absolute_path.h"
#include "platform/memory_release.h"
#include "services/discovery/cache_discovery.h"
#include "utilities/path_canonical.h"

namespace {

using Clock = std::chrono::steady_clock;

// Processor time of the whole process so far (every thread), in milliseconds.
double processorMilliseconds() {
  struct rusage usage {};
  ::getrusage(RUSAGE_SELF, &usage);
  const auto ms = [](const timeval& t) { return t.tv_sec * 1e3 + t.tv_usec / 1e3; };
  return ms(usage.ru_utime) + ms(usage.ru_stime);
}

double millisecondsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

struct Figures {
  std::vector<double> samples;
  void add(double value) { samples.push_back(value); }
  double median() {
    std::sort(samples.begin(), samples.end());
    return samples[samples.size() / 2];
  }
  double min() { return *std::min_element(samples.begin(), samples.end()); }
  double max() { return *std::max_element(samples.begin(), samples.end()); }
};

}  // namespace

int main(int argc, char** argv) {
  // As the program does, before any thread starts.
  hl::MemoryRelease::configure();
  const bool list = argc > 1 && std::string(argv[1]) == "--list";
  if (list) {
    --argc;
    ++argv;
  }
  const bool sequential = argc > 1 && std::string(argv[1]) == "--sequential";
  if (sequential) {
    --argc;
    ++argv;
  }
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s [--list] HOME [RUNS]\n", argv[0]);
    return 2;
  }
  // A relative home is the folder of that name here, never one below "/".
  const std::optional<std::string> given = hl::absolutePath(argv[1]);
  if (!given) {
    std::fprintf(stderr, "%s: no home folder was given\n", argv[0]);
    return 2;
  }
  if (const auto problem = hl::folderProblem(*given, "The home folder")) {
    std::fprintf(stderr, "%s: %s\n", argv[0], problem->c_str());
    return 1;
  }
  const std::string home = hl::cleanPath(*given);
  const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 10;

  // As a scan builds it, without the machine's own temporary folder so that only the given
  // home is measured.
  hl::CacheDiscovery discovery;
  discovery.home = home;
  discovery.worktrees.home = home;
  discovery.projects.home = home;
  if (sequential) {
    discovery.spread = hl::sequentially();
    discovery.worktrees.spread = hl::sequentially();
    discovery.projects.spread = hl::sequentially();
  }

  const hl::DiscoveryResult first = discovery.discover();
  if (list) {
    for (const hl::CacheItem& item : first.items) {
      std::printf("%-13s %s  [%s]%s\n", std::string(hl::rawValue(item.group)).c_str(),
                  item.id.c_str(), item.subtitle.c_str(), item.keepNewest ? " keep-newest" : "");
    }
    for (const std::string& note : first.notes) std::printf("note: %s\n", note.c_str());
    return 0;
  }

  std::map<hl::CacheGroup, int> counts;
  for (const hl::CacheItem& item : first.items) ++counts[item.group];

  Figures whole, wholeProcessor, worktrees, projects;
  for (int run = 0; run < runs; ++run) {
    auto start = Clock::now();
    const double processorStart = processorMilliseconds();
    const auto result = discovery.discover();
    whole.add(millisecondsSince(start));
    wholeProcessor.add(processorMilliseconds() - processorStart);
    if (result.items.size() != first.items.size()) {
      std::fprintf(stderr, "the home changed while measuring\n");
      return 1;
    }
    start = Clock::now();
    const auto found = discovery.worktrees.discover();
    worktrees.add(millisecondsSince(start));
    start = Clock::now();
    const auto built = discovery.projects.discover(std::chrono::system_clock::now());
    projects.add(millisecondsSince(start));
  }

  std::printf("home %s\n", home.c_str());
  std::printf("items %zu (", first.items.size());
  bool firstGroup = true;
  for (const auto& [group, count] : counts) {
    std::printf("%s%s %d", firstGroup ? "" : ", ", std::string(hl::rawValue(group)).c_str(),
                count);
    firstGroup = false;
  }
  std::printf("), notes %zu\n", first.notes.size());
  std::printf("discover  median %.1f ms  min %.1f  max %.1f  (%d runs)\n", whole.median(),
              whole.min(), whole.max(), runs);
  std::printf("discover  processor time median %.1f ms\n", wholeProcessor.median());
  std::printf("worktrees median %.1f ms\n", worktrees.median());
  std::printf("projects  median %.1f ms\n", projects.median());
  return 0;
}
