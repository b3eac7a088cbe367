#include "views/shared/status_grammar.h"

#include <algorithm>
#include <cctype>

#include "models/in_use_reasons.h"
#include "models/owner_names.h"
#include "utilities/path_canonical.h"

namespace hl::StatusGrammar {

namespace {

using Kind = StatusTagModel::Kind;

StatusTagModel chip(Kind kind, std::string title, std::optional<std::string> symbol,
                    StatusTint tint, std::string help) {
  return StatusTagModel{kind, std::move(title), std::move(symbol), tint, std::move(help)};
}

std::string label(const CacheItem& item, std::string_view home) {
  if (item.kind == ItemKind::virtual_) return item.name;
  return abbreviatedPath(item.url, home);
}

std::string lowered(std::string_view text) {
  std::string result(text);
  std::transform(result.begin(), result.end(), result.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return result;
}

bool contains(std::string_view text, std::string_view phrase) {
  return text.find(phrase) != std::string_view::npos;
}

// The folder-scanner policy closes a "contains worktree N (reason)" refusal with the checkout's
// reason in parentheses. Matching it at the end keeps a folder that is merely named like a
// reason ("dirty-fix", "x (dirty) y") from getting that reason's chip.
bool endsWithReason(std::string_view text, std::string_view parenthesised) {
  return text.size() >= parenthesised.size() &&
         text.substr(text.size() - parenthesised.size()) == parenthesised;
}

}  // namespace

StatusTint tint(RiskLevel risk) {
  switch (risk) {
    case RiskLevel::safe:
      return StatusTint::safe;
    case RiskLevel::moderate:
      return StatusTint::moderate;
    case RiskLevel::review:
      return StatusTint::review;
  }
  return StatusTint::neutral;
}

StatusTagModel stateTag(const CacheItem& item, std::string_view home) {
  const std::string name = label(item, home);
  if (item.inUseReason) {
    const std::string& reason = *item.inUseReason;
    if (reason == InUseReasons::cannotVerify) {
      return chip(Kind::state, "Cannot verify", "questionmark.circle", StatusTint::neutral,
                  "Cannot verify whether " + name +
                      " is in use, so it is locked until a rescan succeeds.");
    }
    if (reason == InUseReasons::keptByClaudeApp) {
      return chip(Kind::state, "Kept by Claude", "lock.fill", StatusTint::locked,
                  "In use: an open Claude desktop session keeps " + name + ".");
    }
    if (reason == InUseReasons::claudeAppPool) {
      return chip(Kind::state, "Claude pool", "lock.fill", StatusTint::locked,
                  "In use: " + name +
                      " is in the Claude desktop app's worktree pool; the app reclaims it.");
    }
    return chip(Kind::state, "In use", "lock.fill", StatusTint::locked,
                "In use: " + name + " is " + reason + ".");
  }
  switch (item.risk) {
    case RiskLevel::review:
      return chip(Kind::state, "Review only", "eye", StatusTint::review,
                  "Review only: " + name +
                      " is never selected here. Check it in your file manager.");
    case RiskLevel::moderate:
      return chip(Kind::state, "Moderate", "exclamationmark.triangle", StatusTint::moderate,
                  "Moderate: opt-in, never ticked automatically.");
    case RiskLevel::safe:
      break;
  }
  return chip(Kind::state, "Safe", "checkmark.shield", StatusTint::safe,
              "Safe: regenerated automatically; ticked by \u201cSelect all safe\u201d and Quick "
              "Clean.");
}

std::vector<StatusTagModel> qualifiers(const CacheItem& item, Date now) {
  std::vector<StatusTagModel> result;
  if (item.risk == RiskLevel::review && !item.inUseReason) return result;

  const WorktreeStatus* status = item.worktree ? &item.worktree->status : nullptr;
  const WorktreeStatus::Dirty* dirty = status ? status->dirty() : nullptr;

  if (dirty && dirty->unpushedCommits >= 1) {
    const int n = dirty->unpushedCommits;
    result.push_back(chip(Kind::guardTag, "Unpushed \u00b7" + std::to_string(n),
                          "arrow.up.circle", StatusTint::locked,
                          std::to_string(n) + " commit" + (n == 1 ? "" : "s") +
                              " not on any remote."));
  }
  if (dirty && dirty->uncommitted) {
    result.push_back(chip(Kind::guardTag, "Dirty", "pencil", StatusTint::locked,
                          "Uncommitted, untracked or ignored files (e.g. .env) that git cannot "
                          "restore."));
  }
  if (item.hasNestedGitRoot()) {
    result.push_back(chip(Kind::guardTag, "Nested repo", std::nullopt, StatusTint::locked,
                          "The repository lives in a nested folder; the row is locked."));
  }
  if (status && status->isOwnClone()) {
    result.push_back(chip(Kind::guardTag, "Own clone", std::nullopt, StatusTint::locked,
                          "Its .git is a directory: a full clone, not a linked worktree. Never "
                          "removed."));
  }
  if (item.runningOwner) {
    const std::string owner = ownerDisplayName(*item.runningOwner);
    result.push_back(chip(Kind::guardTag, owner + " running", "play.circle",
                          StatusTint::moderate,
                          owner + " is running and may recreate or lock this item."));
  }
  if (item.isRecent(now)) {
    result.push_back(chip(Kind::guardTag, "Recent", "clock", StatusTint::recent,
                          "Modified in the last 7 days \u2014 not auto-selected."));
  }
  if (status && status->error()) {
    result.push_back(chip(Kind::guardTag, "Status unknown", std::nullopt, StatusTint::neutral,
                          "git could not report its status (" + status->error()->message +
                              ")."));
  }
  if (status && status->isUnknown()) {
    result.push_back(chip(Kind::guardTag, "Checking", std::nullopt, StatusTint::neutral,
                          "Checking git status\u2026"));
  }
  if (item.worktree) {
    if (item.worktree->isRegistered) {
      result.push_back(chip(Kind::info, "Registered", std::nullopt, StatusTint::neutral,
                            "The repository still lists this worktree (git worktree prune runs "
                            "after trashing)."));
    } else {
      result.push_back(chip(Kind::info, "Orphaned", std::nullopt, StatusTint::neutral,
                            "The repository no longer lists this worktree."));
    }
  }
  if (item.group == CacheGroup::projects && item.isStale(now)) {
    result.push_back(chip(Kind::info, "Stale 60d+", std::nullopt, StatusTint::neutral,
                          "The project has not been touched for 60 days or more."));
  }
  if (item.keepNewest) {
    result.push_back(chip(Kind::info, "Newest", std::nullopt, StatusTint::neutral,
                          "One of the two newest iOS versions: kept out of automatic "
                          "selection."));
  }
  if (item.isReportOnly && item.risk != RiskLevel::review) {
    result.push_back(chip(Kind::info, "Report only", std::nullopt, StatusTint::neutral,
                          "Shown for information; never trashed."));
  }
  return result;
}

std::vector<StatusTagModel> tags(const CacheItem& item, int limit, Date now,
                                 std::string_view home) {
  std::vector<StatusTagModel> all = qualifiers(item, now);
  const std::size_t shown = (limit >= 2 && !all.empty()) ? 1 : 0;

  StatusTagModel state = stateTag(item, home);
  for (std::size_t i = shown; i < all.size(); ++i) state.help += "\n\u2022 " + all[i].title;

  std::vector<StatusTagModel> result{std::move(state)};
  if (shown == 1) result.push_back(std::move(all.front()));
  return result;
}

std::vector<StatusTagModel> tags(std::string_view refusal) {
  const std::string reason = lowered(refusal);
  const std::string help(refusal);

  StatusTagModel state;
  if (contains(reason, "cannot verify in-use state")) {
    state = chip(Kind::state, "Cannot verify", "questionmark.circle", StatusTint::neutral, help);
  } else if (contains(reason, "kept by claude")) {
    state = chip(Kind::state, "Kept by Claude", "lock.fill", StatusTint::locked, help);
  } else if (contains(reason, "claude app pool") || endsWithReason(reason, "(claude pool)")) {
    state = chip(Kind::state, "Claude pool", "lock.fill", StatusTint::locked, help);
  } else if (contains(reason, "in use")) {
    state = chip(Kind::state, "In use", "lock.fill", StatusTint::locked, help);
  } else if (contains(reason, "review-only")) {
    state = chip(Kind::state, "Review only", "eye", StatusTint::review, help);
  } else {
    state = chip(Kind::state, "Protected", "lock.fill", StatusTint::locked, help);
  }

  std::vector<StatusTagModel> result{std::move(state)};
  if (contains(reason, "unpushed")) {
    result.push_back(chip(Kind::guardTag, "Unpushed", "arrow.up.circle", StatusTint::locked, help));
  } else if (contains(reason, "uncommitted") || endsWithReason(reason, "(dirty)") ||
             endsWithReason(reason, "(not clean)")) {
    result.push_back(chip(Kind::guardTag, "Dirty", "pencil", StatusTint::locked, help));
  } else if (contains(reason, "nested repository")) {
    result.push_back(chip(Kind::guardTag, "Nested repo", std::nullopt, StatusTint::locked, help));
  } else if (contains(reason, "own clone")) {
    result.push_back(chip(Kind::guardTag, "Own clone", std::nullopt, StatusTint::locked, help));
  } else if (contains(reason, "status unknown") || contains(reason, "without .git")) {
    result.push_back(
        chip(Kind::guardTag, "Status unknown", std::nullopt, StatusTint::neutral, help));
  }
  return result;
}

StatusTagModel removalTag(bool permanent) {
  if (permanent) {
    return chip(Kind::state, "Deleted", "exclamationmark.triangle.fill", StatusTint::locked,
                "Deleted permanently (Settings \u203a Delete immediately was on); not recoverable "
                "from the Trash.");
  }
  return chip(Kind::state, "Trashed", "trash", StatusTint::neutral,
              "Moved to the Trash; recoverable until the Trash is emptied.");
}

}  // namespace hl::StatusGrammar
