#include "viewmodels/gui_thread.h"
#include "viewmodels/scanner/scanner_view_model.h"

namespace hl {

void ScannerViewModel::previewPolicy(const std::vector<std::string>& ids) {
  assertGuiThread(*this);
  if (!rootURL_) return;
  // The measured folder itself is never judged: it cannot be removed from its own page.
  const std::string rootID = tree_.root ? tree_.root->id() : std::string();
  std::vector<std::string> urls;
  std::vector<std::string> judged;
  for (const std::string& id : ids) {
    const FileNode* found = node(id);
    if (!found || found->id() == rootID) continue;
    urls.push_back(found->url());
    judged.push_back(found->id());
  }
  if (urls.empty()) return;

  // Each node remembers the latest preview that asked about it, so a preview of the selection
  // never drops the refusals of an earlier preview of other nodes that is still under way.
  const std::uint64_t token = ++policyToken_;
  for (const std::string& id : judged) policyTokens_[id] = token;
  ScannerServices::PolicyCheck check = services_.makePolicy(false);
  inBackground([this, check, urls, judged, token, root = *rootURL_,
                worktreeRoots = tree_.worktreeRoots]() -> std::function<void()> {
    Verdict verdict = check(urls, root, worktreeRoots);
    return [this, verdict = std::move(verdict), judged, token] {
      std::vector<std::string> current;
      for (const std::string& id : judged) {
        const auto latest = policyTokens_.find(id);
        if (latest == policyTokens_.end() || latest->second != token) continue;
        if (topLevelToken_ > token && isTopLevel(id)) continue;
        current.push_back(id);
      }
      if (!current.empty()) applyRefusals(current, verdict);
    };
  });
}

void ScannerViewModel::previewTopLevel() {
  if (!rootURL_ || !tree_.root || !tree_.root->children() || tree_.root->children()->empty()) {
    return;
  }
  const std::uint64_t token = ++policyToken_;
  topLevelToken_ = token;
  ScannerServices::PolicyCheck check = services_.makePolicy(false);
  // The locations are gathered with the judgement, off the GUI thread; only the refusals, few as
  // a rule, come back.
  inBackground([this, check, tree = tree_.root, root = *rootURL_,
                worktreeRoots = tree_.worktreeRoots, token]() mutable -> std::function<void()> {
    const std::string rootID = tree->id();
    std::vector<std::string> urls;
    urls.reserve(tree->children()->size());
    for (const FileNode& child : *tree->children()) {
      if (child.id() != rootID) urls.push_back(child.url());
    }
    // The judgement may take a while: a tree replaced meanwhile is not kept for it.
    tree.reset();
    Verdict verdict = check(urls, root, worktreeRoots);
    return [this, refused = std::move(verdict.refusals), token] {
      applyTopLevelRefusals(refused, token);
    };
  });
}

void ScannerViewModel::applyTopLevelRefusals(const std::map<std::string, std::string>& refused,
                                             std::uint64_t token) {
  // Another tree, or a later judgement of every top-level node.
  if (token != topLevelToken_) return;
  // A later preview of a few nodes keeps what it wrote for them.
  const auto ownedByLater = [&](const std::string& id) {
    const auto latest = policyTokens_.find(id);
    return latest != policyTokens_.end() && latest->second > token;
  };
  for (auto entry = refusals_.begin(); entry != refusals_.end();) {
    if (refused.count(entry->first) == 0 && !ownedByLater(entry->first) &&
        isTopLevel(entry->first)) {
      entry = refusals_.erase(entry);
    } else {
      ++entry;
    }
  }
  for (const auto& [id, reason] : refused) {
    if (!ownedByLater(id) && isTopLevel(id)) refusals_.insert_or_assign(id, reason);
  }
  emit refusalsChanged();
}

void ScannerViewModel::evaluatePolicy(const std::vector<FileNode>& nodes, Judged done) {
  assertGuiThread(*this);
  if (!rootURL_) {
    done(Verdict{}, ShownItems{});
    return;
  }
  evaluate(nodes, *rootURL_, tree_.worktreeRoots, std::move(done));
}

void ScannerViewModel::evaluate(const std::vector<FileNode>& nodes, const std::string& scanRoot,
                                const std::set<std::string>& worktreeRoots, Judged done) {
  std::vector<std::string> urls;
  std::vector<std::string> ids;
  for (const FileNode& judged : nodes) {
    urls.push_back(judged.url());
    ids.push_back(judged.id());
  }
  ScannerServices::PolicyCheck check = services_.makePolicy(true);
  const std::uint64_t generation = treeGeneration_;
  inBackground([this, check, urls, ids, scanRoot, worktreeRoots, generation,
                done = std::move(done)]() -> std::function<void()> {
    // Read before the policy looks at what is in use: a removal compares it with what the
    // user was shown first.
    ShownItems seen = ShownItems::record(urls);
    Verdict verdict = check(urls, scanRoot, worktreeRoots);
    return [this, verdict = std::move(verdict), seen = std::move(seen), ids, generation, done] {
      // Refusals judged for a tree that has since been replaced describe nothing shown.
      if (generation == treeGeneration_) applyRefusals(ids, verdict);
      done(verdict, seen);
    };
  });
}

void ScannerViewModel::applyRefusals(const std::vector<std::string>& ids, const Verdict& verdict) {
  for (const std::string& id : ids) {
    const auto reason = verdict.refusals.find(id);
    if (reason == verdict.refusals.end()) {
      refusals_.erase(id);
    } else {
      refusals_.insert_or_assign(id, reason->second);
    }
  }
  emit refusalsChanged();
}

}  // namespace hl
