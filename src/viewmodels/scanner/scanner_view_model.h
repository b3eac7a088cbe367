#pragma once

#include <QObject>
#include <QThreadPool>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <stop_token>
#include <string>
#include <unordered_map>
#include <vector>

#include "models/file_node.h"
#include "models/removal_mode.h"
#include "models/trash_result.h"
#include "services/measurement/disk_scanner.h"
#include "services/removal/scan_trash_policy.h"
#include "services/removal/shown_items.h"
#include "viewmodels/scanner/scanner_services.h"
#include "viewmodels/scanner/scanner_tree.h"

namespace hl {

class ActivityLog;
class HistoryViewModel;
class SettingsStore;

// The folder scanner: measures a folder the user chooses as a tree, keeps the selection, shows
// the removal policy's refusals per node, and removes accepted nodes in two steps (a request
// that is judged and planned, a confirmation that is judged again and carried out).
//
// GUI thread only. Walks, policy checks, removals and pruning run on the executor and report
// back by queued calls; results of a superseded scan or preview are dropped. Setters notify
// only when the value changed; in-place changes of `refusals` notify every time.
class ScannerViewModel : public QObject {
  Q_OBJECT
  Q_PROPERTY(std::optional<std::string> rootURL READ rootURL NOTIFY rootURLChanged)
  Q_PROPERTY(bool isScanning READ isScanning NOTIFY isScanningChanged)
  Q_PROPERTY(hl::ScanProgress progress READ progress NOTIFY progressChanged)
  Q_PROPERTY(std::optional<std::string> errorMessage READ errorMessage NOTIFY errorMessageChanged)
  Q_PROPERTY(
      bool includeHidden READ includeHidden WRITE setIncludeHidden NOTIFY includeHiddenChanged)
  Q_PROPERTY(
      std::set<std::string> selection READ selection WRITE setSelection NOTIFY selectionChanged)
  Q_PROPERTY(std::optional<std::vector<hl::FileNode>> pendingPlan READ pendingPlan WRITE
                 setPendingPlan NOTIFY pendingPlanChanged)
  Q_PROPERTY(hl::RemovalMode pendingMode READ pendingMode NOTIFY pendingModeChanged)
  Q_PROPERTY(int pendingRefusedCount READ pendingRefusedCount NOTIFY pendingRefusedCountChanged)
  Q_PROPERTY(bool isTrashing READ isTrashing NOTIFY isTrashingChanged)
  Q_PROPERTY(
      hl::RemovalMode activeRemovalMode READ activeRemovalMode NOTIFY activeRemovalModeChanged)
  Q_PROPERTY(bool isCheckingPolicy READ isCheckingPolicy NOTIFY isCheckingPolicyChanged)
  Q_PROPERTY(std::optional<std::string> resultMessage READ resultMessage WRITE setResultMessage
                 NOTIFY resultMessageChanged)
  Q_PROPERTY(std::map<std::string, std::string> refusals READ refusals NOTIFY refusalsChanged)

 public:
  using Verdict = ScanTrashPolicy::Verdict;

  // `activity`, `history` and `settings` (optional: removals then go to the Trash) must outlive
  // the view model. Starts nothing. Throws `std::invalid_argument` naming the first service of
  // `services` that reaches the world and is missing.
  ScannerViewModel(ActivityLog& activity, HistoryViewModel& history, SettingsStore* settings,
                   ScannerServices services, QObject* parent = nullptr);
  // Stops a running walk and waits for the view model's own worker threads.
  ~ScannerViewModel() override;

  // The user's home folder, which paths are abbreviated against ("~").
  const std::string& home() const { return services_.home; }

  // --- The measured folder.
  // The folder being or last scanned.
  const std::optional<std::string>& rootURL() const { return rootURL_; }
  // The measured tree; none while scanning and before the first scan. Changes with
  // `rootChanged`; the nodes never change, a new tree replaces them.
  const FileNode* root() const { return tree_.root.get(); }
  // The same tree, shared: a view that keeps pointers into it keeps it alive until it lets go,
  // whatever tree the view model holds by then.
  std::shared_ptr<const FileNode> rootNode() const { return tree_.root; }
  // The node with this id in the current tree.
  const FileNode* node(const std::string& id) const;
  bool isScanning() const { return isScanning_; }
  // The latest progress of the running or last scan.
  const ScanProgress& progress() const { return progress_; }
  // Why the last scan produced no tree.
  const std::optional<std::string>& errorMessage() const { return errorMessage_; }
  // Whether the next scan includes hidden files.
  bool includeHidden() const { return includeHidden_; }
  void setIncludeHidden(bool value);

  // Asks the chooser for a folder and scans it; nothing when the user cancels.
  void chooseFolder();
  // Starts measuring the folder as a tree, replacing a running scan; returns at once.
  void scan(const std::string& url);
  // Stops the running scan; the tree of the last finished scan is gone already.
  void cancel();
  // Installs a tree (and the folder it measures, when given): indexes it, clears every refusal
  // and previews the policy for the top-level nodes.
  void setTree(std::optional<FileNode> tree, std::optional<std::string> rootURL = std::nullopt);

  // "Not included: 2 mounted volumes, 1 cloud-only folder", or none when nothing was skipped.
  static std::optional<std::string> skippedSummary(const ScanProgress& progress);
  std::optional<std::string> skippedSummary() const { return skippedSummary(progress_); }
  // A folder on another volume or a cloud-only folder was left out of the figures.
  bool isApproximate() const;
  // The status bar's line: removing, scanning or "Idle". Follows `isTrashingChanged`,
  // `activeRemovalModeChanged`, `isScanningChanged`, `rootURLChanged` and `progressChanged`.
  std::string statusText() const;

  // --- Selection.
  const std::set<std::string>& selection() const { return selection_; }
  void setSelection(std::set<std::string> ids);
  // The top-level nodes that carry no refusal, in tree order.
  std::vector<std::string> selectableTopLevelIDs() const;
  // Whether "Select All" would select something more. Follows `isTrashingChanged`,
  // `selectionChanged`, `refusalsChanged` and `rootChanged`.
  bool canSelectAll() const;
  void selectAll();
  void deselectAll();
  // The selected nodes, nodes inside another selected node left out, largest first. Valid
  // until the tree changes.
  std::vector<const FileNode*> selectedNodes() const;
  std::int64_t selectedSize() const;

  // --- The removal policy.
  // Refusal reason by node id.
  const std::map<std::string, std::string>& refusals() const { return refusals_; }
  std::optional<std::string> refusal(const std::string& id) const;
  // Judges the nodes in the background (open files not listed) and shows their refusals. A
  // node's refusal is written only by the latest preview that asked about it.
  void previewPolicy(const std::vector<std::string>& ids);
  // What stood at the nodes' paths, read just before they were judged.
  using Judged = std::function<void(Verdict, ShownItems)>;
  // Judges the nodes (open files listed), writes their refusals and hands the verdict to
  // `done` on the GUI thread, with what stood at the nodes' paths just before. Without a
  // measured folder the verdict is empty and nothing was read.
  void evaluatePolicy(const std::vector<FileNode>& nodes, Judged done);

  // --- Removal.
  // The gate of the removals has a read-only reason.
  bool isReadOnly() const { return services_.gate.isReadOnly(); }
  // The settings' removal mode (the Trash without settings).
  RemovalMode removalMode() const;
  bool deletesImmediately() const { return removalMode() == RemovalMode::deletePermanently; }
  bool isCheckingPolicy() const { return isCheckingPolicy_; }
  // Nodes waiting for confirmation (without their contents), in plan order; the page shows the
  // confirmation sheet while this is set and clears it when the sheet closes.
  const std::optional<std::vector<FileNode>>& pendingPlan() const { return pendingPlan_; }
  void setPendingPlan(std::optional<std::vector<FileNode>> plan);
  RemovalMode pendingMode() const { return pendingMode_; }
  // Nodes of the request that the policy refused and the plan leaves out.
  int pendingRefusedCount() const { return pendingRefusedCount_; }
  bool isTrashing() const { return isTrashing_; }
  RemovalMode activeRemovalMode() const { return activeRemovalMode_; }
  // The message of the last request or removal; the page shows it and clears it.
  const std::optional<std::string>& resultMessage() const { return resultMessage_; }
  void setResultMessage(std::optional<std::string> message);

  // The first step: the given ids (none: the current selection) become the selection, its
  // nodes (the measured folder itself left out) are judged, and the accepted ones become the
  // pending plan; when none is accepted the refusals become the result message.
  void requestTrash(std::optional<std::set<std::string>> ids = std::nullopt);
  // The second step, for the plan's nodes: judged once more, removed through the trash
  // service, recorded in the history, cut from the tree, worktrees pruned, one message. A plan
  // younger than one second is not confirmed.
  void confirmTrash(const std::vector<FileNode>& nodes);

  // Shows the nodes' locations in the file manager; unknown ids are skipped.
  void revealInFinder(const std::vector<std::string>& ids) const;
  // Puts the ids, sorted, one a line, on the clipboard.
  void copyPaths(const std::vector<std::string>& ids) const;

  // Called after every removal that reached the trash service, with its result: what went and
  // how, so that other pages can follow.
  using DiskChanged = std::function<void(const TrashResult&)>;
  void setOnDiskChanged(DiskChanged callback) { onDiskChanged_ = std::move(callback); }

 signals:
  void rootURLChanged();
  void rootChanged();
  void isScanningChanged();
  void progressChanged();
  void errorMessageChanged();
  void includeHiddenChanged();
  void selectionChanged();
  void pendingPlanChanged();
  void pendingModeChanged();
  void pendingRefusedCountChanged();
  void isTrashingChanged();
  void activeRemovalModeChanged();
  void isCheckingPolicyChanged();
  void resultMessageChanged();
  void refusalsChanged();

 private:
  struct Removal;
  struct ScanOutcome;

  // Runs `work` on the executor, then what it returns on the GUI thread.
  void inBackground(std::function<std::function<void()>()> work);
  void release(ScannerTree tree);

  void setRootURL(std::optional<std::string> url);
  void setIsScanning(bool value);
  void setProgress(ScanProgress progress);
  void setErrorMessage(std::optional<std::string> message);
  void setPendingMode(RemovalMode mode);
  void setPendingRefusedCount(int count);
  void setIsTrashing(bool value);
  void setActiveRemovalMode(RemovalMode mode);
  void setIsCheckingPolicy(bool value);

  // The scan.
  void stopScan();
  void finishScan(std::uint64_t generation, const std::string& url,
                  std::shared_ptr<ScanOutcome> outcome);
  void install(ScannerTree tree, std::optional<std::string> rootURL, bool compareValues);
  // Forgets every refusal and judges the top-level nodes afresh.
  void restartPreviews();
  // Judges every top-level node in the background: a folder may hold hundreds of thousands.
  void previewTopLevel();
  void applyTopLevelRefusals(const std::map<std::string, std::string>& refused,
                             std::uint64_t token);
  bool isTopLevel(const std::string& id) const;
  std::string abbreviated(const std::string& path) const;

  // The policy.
  void evaluate(const std::vector<FileNode>& nodes, const std::string& scanRoot,
                const std::set<std::string>& worktreeRoots, Judged done);
  void applyRefusals(const std::vector<std::string>& ids, const Verdict& verdict);

  // The removal, step by step.
  void refuseWhileRemoving();
  void removeAccepted(std::shared_ptr<Removal> removal);
  void recordRemoval(std::shared_ptr<Removal> removal, TrashResult serviceResult);
  void cutRemoved(std::shared_ptr<Removal> removal);
  void pruneRemoved(std::shared_ptr<Removal> removal, std::set<std::string> repositories);
  void finishRemoval(std::shared_ptr<Removal> removal);
  static std::optional<std::string> registeredRepository(const std::string& worktree);

  ActivityLog& activity_;
  HistoryViewModel& history_;
  SettingsStore* const settings_;
  ScannerServices services_;
  QThreadPool workers_;
  DiskChanged onDiskChanged_;

  std::optional<std::string> rootURL_;
  ScannerTree tree_;
  bool isScanning_ = false;
  ScanProgress progress_;
  std::optional<std::string> errorMessage_;
  bool includeHidden_ = true;
  std::set<std::string> selection_;
  std::optional<std::vector<FileNode>> pendingPlan_;
  std::optional<Date> pendingPlanCreatedAt_;
  // What stood at the pending plan's paths when its nodes were judged for it.
  ShownItems pendingShown_;
  // The measured folder and its worktree roots the pending plan was judged in.
  std::string pendingRoot_;
  std::set<std::string> pendingWorktreeRoots_;
  RemovalMode pendingMode_ = RemovalMode::trash;
  int pendingRefusedCount_ = 0;
  bool isTrashing_ = false;
  RemovalMode activeRemovalMode_ = RemovalMode::trash;
  bool isCheckingPolicy_ = false;
  std::optional<std::string> resultMessage_;
  std::map<std::string, std::string> refusals_;

  // Counts scans (and stops): a report or result of an earlier one is dropped.
  std::uint64_t scanGeneration_ = 0;
  std::stop_source scanStop_;
  // Counts installed trees: a refusal judged for an earlier tree is not written.
  std::uint64_t treeGeneration_ = 0;
  // The number of the latest preview; the latest preview of every top-level node (0: none for
  // this tree); per node, the latest preview of a few nodes that asked about it. A node's
  // refusal is written only by the latest preview that asked about it.
  std::uint64_t policyToken_ = 0;
  std::uint64_t topLevelToken_ = 0;
  std::unordered_map<std::string, std::uint64_t> policyTokens_;
};

}  // namespace hl
