#include <QMetaObject>
#include <chrono>
#include <mutex>

#include "platform/memory_release.h"
#include "services/measurement/walk_pool.h"
#include "utilities/byte_formatting.h"
#include "utilities/path_canonical.h"
#include "viewmodels/activity_log.h"
#include "viewmodels/gui_thread.h"
#include "viewmodels/scanner/scanner_view_model.h"

namespace hl {
namespace {

// Walking threads report here; the scan reads the last report when the walk returns.
struct ProgressCell {
  std::mutex mutex;
  ScanProgress latest;
  // A report is on its way to the GUI thread, which shows the latest one when it takes it.
  bool posted = false;
  std::chrono::steady_clock::time_point lastPosted;
};

// Reports closer together than this are shown as one: a walk of a million entries reports two
// thousand times, and showing each would keep the GUI thread busy for a good part of the walk,
// taking processors from it. The last report is applied with the tree in any case.
constexpr auto kShownProgressInterval = std::chrono::milliseconds(40);

constexpr std::string_view kUnreadable = "Could not read this folder.";

}  // namespace

// What a finished walk hands back to the GUI thread.
struct ScannerViewModel::ScanOutcome {
  bool cancelled = false;
  // The folder could be opened and listed (an empty tree of an unreadable folder is not).
  bool readable = true;
  ScanProgress progress;
  ScannerTree tree;
};

void ScannerViewModel::chooseFolder() {
  assertGuiThread(*this);
  if (!services_.chooseFolder) return;
  if (const std::optional<std::string> folder = services_.chooseFolder()) scan(*folder);
}

void ScannerViewModel::stopScan() {
  scanStop_.request_stop();
  scanStop_ = std::stop_source();
}

void ScannerViewModel::scan(const std::string& url) {
  assertGuiThread(*this);
  stopScan();
  const std::uint64_t generation = ++scanGeneration_;

  setRootURL(url);
  ScannerTree old = std::exchange(tree_, ScannerTree{});
  ++treeGeneration_;
  policyTokens_.clear();
  topLevelToken_ = 0;
  const bool hadTree = old.root != nullptr;
  release(std::move(old));
  if (hadTree) emit rootChanged();
  setSelection({});
  // A plan belongs to the tree it was made in.
  pendingShown_ = {};
  pendingRoot_.clear();
  pendingWorktreeRoots_.clear();
  setPendingPlan(std::nullopt);
  setErrorMessage(std::nullopt);
  setIsScanning(true);
  ScanProgress fresh;
  fresh.currentPath = PathCanonical::canonical(url);
  setProgress(fresh);
  activity_.log(ActivityEvent::Kind::scan, "Folder scan started: " + abbreviated(url));

  auto cell = std::make_shared<ProgressCell>();
  cell->latest = fresh;
  ScanOptions options;
  options.includeHidden = includeHidden_;
  options.progressInterval = 500;
  inBackground([this, url, options, cell, generation, stop = scanStop_.get_token(),
                boundary = services_.boundary, faults = services_.walkFaults,
                home = services_.home]() -> std::function<void()> {
    auto report = [this, cell, generation](const ScanProgress& progress) {
      {
        std::lock_guard lock(cell->mutex);
        cell->latest = progress;
        const auto now = std::chrono::steady_clock::now();
        if (cell->posted || now - cell->lastPosted < kShownProgressInterval) return;
        cell->posted = true;
        cell->lastPosted = now;
      }
      QMetaObject::invokeMethod(
          this,
          [this, cell, generation] {
            ScanProgress latest;
            {
              std::lock_guard lock(cell->mutex);
              latest = cell->latest;
              cell->posted = false;
            }
            // A report of a scan that was replaced or stopped, or that came after the end.
            if (generation == scanGeneration_ && isScanning_) setProgress(std::move(latest));
          },
          Qt::QueuedConnection);
    };
    std::optional<FileNode> tree =
        DiskScanner::buildTree(url, options, boundary, report, stop, faults);
    auto outcome = std::make_shared<ScanOutcome>();
    {
      std::lock_guard lock(cell->mutex);
      outcome->progress = cell->latest;
    }
    if (!tree) {
      outcome->cancelled = stop.stop_requested();
      outcome->readable = false;
    } else {
      // The walk gives a folder it cannot open as an empty one; only a folder with nothing in
      // it needs the second look.
      const bool empty = !tree->children() || tree->children()->empty();
      outcome->readable = !empty || DiskScanner::isListableFolder(url, faults);
      outcome->tree =
          ScannerTree::prepare(ScannerTree::share(std::move(*tree)), home,
                               WalkPool::spread());
    }
    // What the walk needed besides the tree is free now; given back beside the GUI thread's
    // work of showing the tree, not before it.
    MemoryRelease::giveBackFreedSoon();
    return [this, generation, url, outcome] { finishScan(generation, url, outcome); };
  });
}

void ScannerViewModel::cancel() {
  assertGuiThread(*this);
  stopScan();
  ++scanGeneration_;
  setIsScanning(false);
}

void ScannerViewModel::finishScan(std::uint64_t generation, const std::string& url,
                                  std::shared_ptr<ScanOutcome> outcome) {
  if (generation != scanGeneration_ || outcome->cancelled) {
    // Replaced or stopped: whatever came next owns the state.
    if (outcome->cancelled) {
      activity_.log(ActivityEvent::Kind::scan, "Folder scan cancelled: " + abbreviated(url));
    }
    if (generation == scanGeneration_) setIsScanning(false);
    release(std::move(outcome->tree));
    return;
  }
  setProgress(outcome->progress);
  const FileNode* root = outcome->tree.root.get();
  const bool emptyFolder =
      root && root->isDirectory() && root->children() && root->children()->empty();
  if (emptyFolder && progress_.itemsVisited == 0 && progress_.skippedDataless == 1) {
    setErrorMessage(lastPathComponent(url) +
                    " is not downloaded from iCloud. Download it in Finder to scan it.");
    activity_.log(ActivityEvent::Kind::scan,
                  "Folder scan skipped: " + abbreviated(url) + " is not downloaded from iCloud");
    release(std::move(outcome->tree));
  } else if (!root || !outcome->readable) {
    // A folder that vanished or cannot be listed is a failure, never an empty result.
    setErrorMessage(std::string(kUnreadable));
    activity_.log(ActivityEvent::Kind::error, "Folder scan failed: " + std::string(kUnreadable));
    release(std::move(outcome->tree));
  } else {
    std::string line = "Folder scan finished: " + abbreviated(url) + " · " +
                       ByteFormatting::string(root->size()) + ", " +
                       std::to_string(root->fileCount()) + " files";
    if (const auto skipped = skippedSummary(progress_)) line += " · " + *skipped;
    install(std::move(outcome->tree), std::nullopt, false);
    activity_.log(ActivityEvent::Kind::scan, line);
  }
  setIsScanning(false);
}

void ScannerViewModel::setTree(std::optional<FileNode> tree, std::optional<std::string> rootURL) {
  assertGuiThread(*this);
  std::shared_ptr<const FileNode> root;
  if (tree) root = ScannerTree::share(std::move(*tree));
  install(ScannerTree::prepare(std::move(root), services_.home, WalkPool::spread()),
          std::move(rootURL), true);
}

void ScannerViewModel::install(ScannerTree tree, std::optional<std::string> rootURL,
                               bool compareValues) {
  if (rootURL) setRootURL(std::move(rootURL));
  ScannerTree old = std::exchange(tree_, std::move(tree));
  ++treeGeneration_;
  bool changed = old.root != tree_.root;
  if (changed && compareValues && old.root && tree_.root && *old.root == *tree_.root) {
    changed = false;
  }
  release(std::move(old));
  if (changed) emit rootChanged();
  restartPreviews();
}

void ScannerViewModel::restartPreviews() {
  policyTokens_.clear();
  topLevelToken_ = 0;
  if (!refusals_.empty()) {
    refusals_.clear();
    emit refusalsChanged();
  }
  previewTopLevel();
}

}  // namespace hl
