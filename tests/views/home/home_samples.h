#pragma once

#include <string>
#include <vector>

#include "views/home/home_fixture.h"

namespace hl::test {

// A home's worth of rows of every kind, for screenshots: caches, build folders, worktrees clean
// and dirty, in use, review-only, report-only, unmeasured and a name that looks like markup.
inline std::vector<CacheItem> sampleHome(const std::string& home, Date now) {
  using std::chrono::hours;
  std::vector<CacheItem> items;
  const auto add = [&](const std::string& path, std::optional<std::int64_t> size, CacheGroup group,
                       RiskLevel risk) -> CacheItem& {
    CacheItemInit init;
    init.url = home + "/" + path;
    init.group = group;
    init.risk = risk;
    init.home = home;
    items.emplace_back(std::move(init));
    items.back().size = size;
    items.back().fileCount = 1200;
    return items.back();
  };
  add(".npm/_cacache", 4'210'000'000, CacheGroup::packageCaches, RiskLevel::safe)
      .newestModification = now - hours(24 * 40);
  add(".cache/pip", 1'830'000'000, CacheGroup::packageCaches, RiskLevel::safe).action =
      NativeAction{NativeAction::Tool::uv};
  CacheItem& pnpm = add("Library/pnpm/store", 2'950'000'000, CacheGroup::packageCaches,
                        RiskLevel::safe);
  pnpm.action = NativeAction{NativeAction::Tool::pnpm};
  pnpm.newestModification = now - hours(5);
  add(".gradle/caches", 3'120'000'000, CacheGroup::buildTools, RiskLevel::moderate)
      .newestModification = now - hours(24 * 12);
  CacheItem& target = add("code/atlas/target", 6'700'000'000, CacheGroup::projects,
                          RiskLevel::moderate);
  target.projectModified = now - hours(24 * 120);
  target.subtitle = "~/code/atlas · Rust";
  CacheItem& worktree = add("code/atlas/.claude/worktrees/fix-login", 812'000'000,
                            CacheGroup::aiWorktrees, RiskLevel::moderate);
  worktree.worktree = WorktreeInfo{home + "/code/atlas", true, worktree.url,
                                   WorktreeStatus::dirty(true, 2)};
  CacheItem& busy = add("code/atlas/.claude/worktrees/new-parser", 455'000'000,
                        CacheGroup::aiWorktrees, RiskLevel::moderate);
  busy.worktree = WorktreeInfo{home + "/code/atlas", true, busy.url, WorktreeStatus::clean()};
  busy.inUseReason = "the working directory of claude (pid 4121)";
  CacheItem& clean = add("code/web/.claude/worktrees/docs", 120'000'000, CacheGroup::aiWorktrees,
                         RiskLevel::moderate);
  clean.worktree = WorktreeInfo{home + "/code/web", true, clean.url, WorktreeStatus::clean()};
  add("Backups/phone-2024", 9'400'000'000, CacheGroup::largeBackups, RiskLevel::review);
  CacheItem& report = add(".local/share/Trash", 1'100'000'000, CacheGroup::trash, RiskLevel::review);
  report.isReportOnly = true;
  report.name = "Trash";
  add(".cache/<b>x", 64'000'000, CacheGroup::systemCaches, RiskLevel::safe).isApproximate = true;
  add(".cache/go-build", std::nullopt, CacheGroup::buildTools, RiskLevel::safe);
  add(".cache/yarn", std::nullopt, CacheGroup::packageCaches, RiskLevel::safe);
  return items;
}

}  // namespace hl::test
