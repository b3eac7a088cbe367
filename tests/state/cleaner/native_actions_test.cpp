#include <gtest/gtest.h>

#include "guarded_fakes.h"

using namespace hl;
using namespace hl::test;
using Kind = ActivityEvent::Kind;

namespace {

CacheItem withTool(NativeAction::Tool tool, const std::string& path = "/c/store") {
  CacheItem item = makeItem(path, CacheGroup::packageCaches, RiskLevel::safe, 100);
  item.action = NativeAction{tool};
  return item;
}

}  // namespace

TEST(CleanerNativeActions, ARequestWaitsForConfirmationUnlessSomethingBlocksIt) {
  using Tool = NativeAction::Tool;
  struct Case {
    const char* name;
    Tool tool;
    std::optional<std::set<std::string>> processes;
    bool pending;
    std::optional<std::string> message;
    int processListReads;
  };
  const std::vector<Case> cases = {
      {"nothing runs", Tool::pnpm, std::set<std::string>{}, true, std::nullopt, 1},
      {"the docker backend runs", Tool::docker, std::set<std::string>{"com.docker.backend"},
       false,
       "Prune with docker is unavailable while com.docker.backend is running. Quit it and try "
       "again.",
       1},
      {"the simulator service runs", Tool::simctl,
       std::set<std::string>{"com.apple.CoreSimulator.CoreSimulatorService"}, false,
       "Prune with simctl is unavailable while CoreSimulatorService is running. Quit it and try "
       "again.",
       1},
      {"no process list", Tool::go, std::nullopt, false,
       "Prune with go is unavailable while an unverifiable process list (cannot check whether "
       "its app is running) is running. Quit it and try again.",
       1},
      {"brew never looks", Tool::brew, std::nullopt, true, std::nullopt, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Guarded h;
    h.processes = c.processes;
    const CacheItem item = withTool(c.tool);
    h->requestAction(item);
    h.executor->settle();
    EXPECT_EQ(h->pendingAction().has_value(), c.pending);
    EXPECT_EQ(h->resultMessage(), c.message);
    EXPECT_EQ(h.processListReads, c.processListReads);
  }

  Guarded readOnly(DestructiveGate{"read-only mode is on"});
  readOnly->requestAction(withTool(NativeAction::Tool::pnpm));
  EXPECT_EQ(readOnly->resultMessage(), "Prune with pnpm is unavailable: read-only mode is on.");
  EXPECT_EQ(readOnly.executor->pendingJobs(), 0u);
  readOnly->requestAction(makeItem("/c/plain"));
  EXPECT_EQ(readOnly.executor->pendingJobs(), 0u);
}

TEST(CleanerNativeActions, ARunLogsItsOutputForgetsTheSizeAndRefreshes) {
  Guarded h;
  h.scan({withTool(NativeAction::Tool::pnpm)});
  bool diskChanged = false;
  h->setOnDiskChanged([&] { diskChanged = true; });
  std::string sixty;
  for (int i = 1; i <= 60; ++i) sixty += "line " + std::to_string(i) + "\n";
  h.toolPieces = {"Removed 3 packages\r\n\r\nDone\r\n", sixty, "\n\n"};
  h.activity.setEvents({});
  const CacheItem item = *h->item("/c/store");
  h->setPendingAction(item);
  h->runAction(item);
  EXPECT_FALSE(h->pendingAction());
  EXPECT_EQ(h->runningActions(), std::set<std::string>{"pnpm"});
  EXPECT_EQ(h->statusText(), "Running pnpm\u2026");
  h->runAction(item);  // a second run of the same tool is ignored
  h.executor->settle();

  std::vector<std::string> expected = {"$ pnpm store prune", "Removed 3 packages", "Done"};
  for (int i = 1; i <= 50; ++i) expected.push_back("line " + std::to_string(i));
  expected.push_back("pnpm store prune finished");
  expected.push_back("Refreshing items");
  EXPECT_EQ(h.logged(), expected);
  EXPECT_EQ(h.toolsRun, std::vector<std::string>{"pnpm"});
  EXPECT_TRUE(h->runningActions().empty());
  EXPECT_EQ(h.engine->forgotten.back(), std::vector<std::string>{"/c/store"});
  EXPECT_FALSE(h.engine->at(-1).request.clearSizeCacheFirst);
  EXPECT_TRUE(diskChanged);
  EXPECT_FALSE(h->resultMessage());
}

TEST(CleanerNativeActions, ARunReportsRefusalsAndFailuresInTheLog) {
  struct Case {
    const char* name;
    DestructiveGate gate;
    std::optional<std::set<std::string>> processes;
    std::optional<ProcessOutput> output;
    std::vector<std::string> lines;
    std::optional<std::string> message;
    bool refreshed;
  };
  const std::vector<Case> cases = {
      {"read-only", DestructiveGate{"read-only mode is on"}, std::set<std::string>{},
       std::nullopt, {"uv cache prune refused: read-only mode is on"},
       "Prune with uv was not run: read-only mode is on.", false},
      {"blocked at confirmation", DestructiveGate::open(), std::set<std::string>{"uv"},
       std::nullopt, {"$ uv cache prune", "uv cache prune refused: uv is running"},
       "Prune with uv was not run: uv is running.", false},
      {"not launched", DestructiveGate::open(), std::set<std::string>{}, std::nullopt,
       {"$ uv cache prune", "uv cache prune failed", "Refreshing items"}, std::nullopt, true},
      {"timed out", DestructiveGate::open(), std::set<std::string>{},
       ProcessOutput{15, "", "", true},
       {"$ uv cache prune", "uv cache prune failed (timed out)", "Refreshing items"},
       std::nullopt, true},
      {"exit status 1", DestructiveGate::open(), std::set<std::string>{},
       ProcessOutput{1, "", "", false},
       {"$ uv cache prune", "uv cache prune failed", "Refreshing items"}, std::nullopt, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Guarded h(c.gate);
    h.processes = c.processes;
    h.toolResult = c.output;
    h->runAction(withTool(NativeAction::Tool::uv));
    h.executor->settle();
    EXPECT_EQ(h.logged(), c.lines);
    EXPECT_EQ(h->resultMessage(), c.message);
    EXPECT_EQ(h.engine->runs.size(), c.refreshed ? 1u : 0u);
    EXPECT_TRUE(h->runningActions().empty());
  }

  // Without an action there is nothing to run; the confirmation is cleared all the same.
  Guarded h;
  h->setPendingAction(makeItem("/c/plain"));
  h->runAction(makeItem("/c/plain"));
  EXPECT_FALSE(h->pendingAction());
  EXPECT_TRUE(h.logged().empty());
}
