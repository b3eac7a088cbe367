#pragma once

#include <QPointer>
#include <QWidget>
#include <set>
#include <string>

#include "utilities/time.h"

class QLabel;
class QMenu;
class QPushButton;
class QStackedWidget;

namespace hl {

class ConfirmTrashSheet;
class ElidedLabel;
class EmptyStateView;
class FileTreeView;
class KeyboardReturn;
class ProminentButton;
class ResultAlert;
class ScannerViewModel;

// The folder scanner's main pane: the measured tree with its header, the scanning state, or the
// empty state, chosen from the view model. It also presents the view model's pending removal in
// the confirmation sheet and its result message in the "Cleanup finished" alert, each open
// exactly while the view model holds it, and previews the policy for each new selection.
class ScannerView : public QWidget {
  Q_OBJECT

 public:
  enum class State { tree, scanning, empty };

  // `sheetClock` arms the confirmation sheet's button (tests move it by hand).
  explicit ScannerView(ScannerViewModel& scanner,
                       MonotonicClock sheetClock = systemMonotonicClock(),
                       QWidget* parent = nullptr);
  ~ScannerView() override;

  State state() const;

  // The window's Select All, taken as a focused list takes it: when the tree has the keyboard
  // focus it selects every visible row and this returns true; otherwise nothing changes and
  // this returns false, and the command goes on to the page's own rule (the view model's
  // `selectAll()`: the top-level rows that are not locked).
  bool selectAll();

  // A scan started from `origin` (the sidebar, whose "Choose Folder…" turned off as it started):
  // once measured, the tree takes the keyboard when it is still in `origin`, in this pane or
  // nowhere, as after a scan started from the empty state.
  void treeTakesKeyboardAfterScanFrom(QWidget* origin);

  // The row menu for these ids (none for no ids), as the tree shows it; the caller owns it.
  QMenu* makeContextMenu(const std::set<std::string>& ids);

  FileTreeView* tree() const { return tree_; }
  QLabel* titleLabel() const { return title_; }
  QLabel* sizeLabel() const { return size_; }
  ElidedLabel* pathLabel() const { return path_; }
  ProminentButton* selectAllButton() const { return selectAll_; }
  QPushButton* deselectAllButton() const { return deselectAll_; }
  EmptyStateView* scanningState() const { return scanning_; }
  EmptyStateView* emptyState() const { return empty_; }
  // Puts the keyboard back where a removal was started from (this pane, and the areas added to
  // it: the page's sidebar) when its sheet or alert closes; else on the tree.
  KeyboardReturn* keyboardReturn() const { return keyboard_; }
  // The sheet or alert on show; none while the view model holds no plan or message.
  ConfirmTrashSheet* sheet() const;
  ResultAlert* alert() const;

 private:
  QWidget* buildTreePage();
  void showState();
  void showHeader();
  void showProgress();
  void showButtons();
  void selectionChanged();
  void showPlan();
  void showMessage();
  void closeSheet();

  ScannerViewModel& scanner_;
  MonotonicClock sheetClock_;
  // Where the keyboard was when the running scan was started outside this pane.
  QPointer<QWidget> keyboardOrigin_;
  QStackedWidget* stack_;
  QWidget* treePage_ = nullptr;
  QLabel* title_ = nullptr;
  QLabel* size_ = nullptr;
  ElidedLabel* path_ = nullptr;
  ProminentButton* selectAll_ = nullptr;
  QPushButton* deselectAll_ = nullptr;
  FileTreeView* tree_ = nullptr;
  EmptyStateView* scanning_;
  EmptyStateView* empty_;
  QPointer<ConfirmTrashSheet> sheet_;
  std::string sheetKey_;
  QPointer<ResultAlert> alert_;
  KeyboardReturn* keyboard_;
};

}  // namespace hl
