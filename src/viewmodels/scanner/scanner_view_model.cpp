#include "viewmodels/scanner/scanner_view_model.h"

#include <QMetaObject>
#include <algorithm>
#include <stdexcept>
#include <string>
#include <string_view>
#include <unordered_set>

#include "utilities/byte_formatting.h"
#include "utilities/path_canonical.h"
#include "utilities/path_relation.h"
#include "viewmodels/desktop_services.h"
#include "viewmodels/gui_thread.h"
#include "viewmodels/settings_store.h"

namespace hl {

ScannerViewModel::ScannerViewModel(ActivityLog& activity, HistoryViewModel& history,
                                   SettingsStore* settings, ScannerServices services,
                                   QObject* parent)
    : QObject(parent),
      activity_(activity),
      history_(history),
      settings_(settings),
      services_(std::move(services)) {
  // Never a real service by default: a caller that leaves one out learns which.
  for (const auto& [present, member] :
       {std::pair{static_cast<bool>(services_.trash), "trash"},
        std::pair{static_cast<bool>(services_.makePolicy), "makePolicy"},
        std::pair{static_cast<bool>(services_.pruneWorktrees), "pruneWorktrees"}}) {
    if (!present) {
      throw std::invalid_argument(std::string("ScannerViewModel needs ScannerServices::") +
                                  member + "; the composition root wires the real one");
    }
  }
  // Walks, policy checks and git may each wait a while; enough threads that a slow check does
  // not hold up a removal.
  workers_.setMaxThreadCount(8);
  if (!services_.executor) {
    services_.executor = [this](std::function<void()> work) { workers_.start(std::move(work)); };
  }
}

ScannerViewModel::~ScannerViewModel() {
  scanStop_.request_stop();
  // Work still under way posts its result to this object; once it is done, destroying the
  // object discards that result unseen.
  workers_.waitForDone();
}

void ScannerViewModel::inBackground(std::function<std::function<void()>()> work) {
  services_.executor([this, work = std::move(work)] {
    std::function<void()> then = work();
    QMetaObject::invokeMethod(this, std::move(then), Qt::QueuedConnection);
  });
}

void ScannerViewModel::release(ScannerTree tree) {
  if (!tree.root) return;
  // A tree of a few hundred thousand nodes takes a while to free: not on the GUI thread.
  auto doomed = std::make_shared<ScannerTree>(std::move(tree));
  services_.executor([doomed]() mutable { doomed.reset(); });
}

std::string ScannerViewModel::abbreviated(const std::string& path) const {
  return abbreviatedPath(path, services_.home);
}

const FileNode* ScannerViewModel::node(const std::string& id) const {
  assertGuiThread(*this);
  return tree_.find(id);
}

// --- Setters: each notifies only on a change.

void ScannerViewModel::setRootURL(std::optional<std::string> url) {
  if (url == rootURL_) return;
  rootURL_ = std::move(url);
  emit rootURLChanged();
}

void ScannerViewModel::setIsScanning(bool value) {
  if (value == isScanning_) return;
  isScanning_ = value;
  emit isScanningChanged();
}

void ScannerViewModel::setProgress(ScanProgress progress) {
  if (progress == progress_) return;
  progress_ = std::move(progress);
  emit progressChanged();
}

void ScannerViewModel::setErrorMessage(std::optional<std::string> message) {
  if (message == errorMessage_) return;
  errorMessage_ = std::move(message);
  emit errorMessageChanged();
}

void ScannerViewModel::setIncludeHidden(bool value) {
  assertGuiThread(*this);
  if (value == includeHidden_) return;
  includeHidden_ = value;
  emit includeHiddenChanged();
}

void ScannerViewModel::setSelection(std::set<std::string> ids) {
  assertGuiThread(*this);
  if (ids == selection_) return;
  selection_ = std::move(ids);
  emit selectionChanged();
}

void ScannerViewModel::setPendingPlan(std::optional<std::vector<FileNode>> plan) {
  assertGuiThread(*this);
  if (plan == pendingPlan_) return;
  pendingPlan_ = std::move(plan);
  if (!pendingPlan_) pendingPlanCreatedAt_.reset();
  emit pendingPlanChanged();
}

void ScannerViewModel::setPendingMode(RemovalMode mode) {
  if (mode == pendingMode_) return;
  pendingMode_ = mode;
  emit pendingModeChanged();
}

void ScannerViewModel::setPendingRefusedCount(int count) {
  if (count == pendingRefusedCount_) return;
  pendingRefusedCount_ = count;
  emit pendingRefusedCountChanged();
}

void ScannerViewModel::setIsTrashing(bool value) {
  if (value == isTrashing_) return;
  isTrashing_ = value;
  emit isTrashingChanged();
}

void ScannerViewModel::setActiveRemovalMode(RemovalMode mode) {
  if (mode == activeRemovalMode_) return;
  activeRemovalMode_ = mode;
  emit activeRemovalModeChanged();
}

void ScannerViewModel::setIsCheckingPolicy(bool value) {
  if (value == isCheckingPolicy_) return;
  isCheckingPolicy_ = value;
  emit isCheckingPolicyChanged();
}

void ScannerViewModel::setResultMessage(std::optional<std::string> message) {
  assertGuiThread(*this);
  if (message == resultMessage_) return;
  resultMessage_ = std::move(message);
  emit resultMessageChanged();
}

// --- What the page reads.

bool ScannerViewModel::isApproximate() const {
  return progress_.skippedVolumes > 0 || progress_.skippedDataless > 0;
}

std::optional<std::string> ScannerViewModel::skippedSummary(const ScanProgress& progress) {
  std::vector<std::string> parts;
  if (progress.skippedVolumes >= 1) {
    parts.push_back(std::to_string(progress.skippedVolumes) + " mounted volume" +
                    (progress.skippedVolumes == 1 ? "" : "s"));
  }
  if (progress.skippedDataless >= 1) {
    parts.push_back(std::to_string(progress.skippedDataless) + " cloud-only folder" +
                    (progress.skippedDataless == 1 ? "" : "s"));
  }
  if (parts.empty()) return std::nullopt;
  std::string text = "Not included: " + parts.front();
  for (std::size_t i = 1; i < parts.size(); ++i) text += ", " + parts[i];
  return text;
}

std::string ScannerViewModel::statusText() const {
  assertGuiThread(*this);
  if (isTrashing_) return std::string(progressTitle(activeRemovalMode_)) + "…";
  if (isScanning_) {
    return "Scanning " + (rootURL_ ? lastPathComponent(*rootURL_) : std::string("folder")) + "… " +
           ByteFormatting::string(progress_.bytesScanned);
  }
  return "Idle";
}

RemovalMode ScannerViewModel::removalMode() const {
  return settings_ ? settings_->removalMode() : RemovalMode::trash;
}

std::optional<std::string> ScannerViewModel::refusal(const std::string& id) const {
  const auto found = refusals_.find(id);
  if (found == refusals_.end()) return std::nullopt;
  return found->second;
}

std::vector<std::string> ScannerViewModel::selectableTopLevelIDs() const {
  assertGuiThread(*this);
  std::vector<std::string> ids;
  if (!tree_.root || !tree_.root->children()) return ids;
  for (const FileNode& child : *tree_.root->children()) {
    std::string id = child.id();
    if (refusals_.count(id) == 0) ids.push_back(std::move(id));
  }
  return ids;
}

bool ScannerViewModel::isTopLevel(const std::string& id) const {
  const FileNode* found = tree_.find(id);
  return found && found->parent() == tree_.root.get();
}

bool ScannerViewModel::canSelectAll() const {
  assertGuiThread(*this);
  if (isTrashing_ || !tree_.root || !tree_.root->children()) return false;
  // Fewer selected ids than selectable rows leave one of them out; only a selection as large as
  // theirs needs the rows looked at one by one.
  const std::size_t refused = static_cast<std::size_t>(std::count_if(
      refusals_.begin(), refusals_.end(), [&](const auto& entry) { return isTopLevel(entry.first); }));
  const std::vector<FileNode>& children = *tree_.root->children();
  if (children.size() <= refused) return false;
  if (selection_.size() < children.size() - refused) return true;
  return std::any_of(children.begin(), children.end(), [&](const FileNode& child) {
    const std::string id = child.id();
    return refusals_.count(id) == 0 && selection_.count(id) == 0;
  });
}

void ScannerViewModel::selectAll() {
  const std::vector<std::string> ids = selectableTopLevelIDs();
  setSelection(std::set<std::string>(ids.begin(), ids.end()));
}

void ScannerViewModel::deselectAll() { setSelection({}); }

std::vector<const FileNode*> ScannerViewModel::selectedNodes() const {
  assertGuiThread(*this);
  // The selected ids that name a node, each with it; the views point into `selection_`.
  std::vector<std::pair<std::string_view, const FileNode*>> found;
  for (const std::string& id : selection_) {
    if (const FileNode* selected = node(id)) found.emplace_back(id, selected);
  }
  // A node inside another selected node goes with it; whole components, so /a/bc is not
  // inside /a/b. Ids are canonical paths, so the folders above a node are exactly its id cut
  // at each "/": a look-up per level keeps a selection of thousands of rows quick.
  std::unordered_set<std::string_view> selectedIDs;
  for (const auto& [id, selected] : found) selectedIDs.insert(id);
  const auto nested = [&](std::string_view id) {
    for (std::size_t slash = id.rfind('/'); slash != std::string_view::npos && slash > 0;
         slash = id.rfind('/', slash - 1)) {
      if (selectedIDs.count(id.substr(0, slash))) return true;
    }
    return id != "/" && selectedIDs.count("/");
  };
  std::vector<const FileNode*> outermost;
  for (const auto& [id, candidate] : found) {
    if (!nested(id)) outermost.push_back(candidate);
  }
  std::stable_sort(outermost.begin(), outermost.end(),
                   [](const FileNode* a, const FileNode* b) { return a->size() > b->size(); });
  return outermost;
}

std::int64_t ScannerViewModel::selectedSize() const {
  std::int64_t total = 0;
  for (const FileNode* selected : selectedNodes()) total += selected->size();
  return total;
}

void ScannerViewModel::revealInFinder(const std::vector<std::string>& ids) const {
  assertGuiThread(*this);
  std::vector<std::string> urls;
  for (const std::string& id : ids) {
    if (const FileNode* found = node(id)) urls.push_back(found->url());
  }
  if (urls.empty() || !services_.desktop) return;
  revealReportingFailures(*services_.desktop, urls, activity_);
}

void ScannerViewModel::copyPaths(const std::vector<std::string>& ids) const {
  assertGuiThread(*this);
  if (!services_.desktop) return;
  std::vector<std::string> sorted = ids;
  std::sort(sorted.begin(), sorted.end());
  std::string text;
  for (std::size_t i = 0; i < sorted.size(); ++i) {
    if (i > 0) text += "\n";
    text += sorted[i];
  }
  services_.desktop->copyText(text);
}

}  // namespace hl
