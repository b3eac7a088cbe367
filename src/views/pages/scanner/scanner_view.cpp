#include "views/pages/scanner/scanner_view.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QStackedWidget>
#include <QVBoxLayout>

#include "utilities/path_canonical.h"
#include "viewmodels/scanner/scanner_view_model.h"
#include "views/pages/scanner/file_tree_view.h"
#include "views/pages/scanner/scanner_texts.h"
#include "views/shared/button_pair.h"
#include "views/shared/confirm_trash_sheet.h"
#include "views/shared/destructive_button.h"
#include "views/shared/elided_label.h"
#include "views/shared/empty_state_view.h"
#include "views/shared/palette_colors.h"
#include "views/shared/result_alert.h"
#include "views/shared/sidebar_header.h"
#include "views/shared/symbol_icon.h"
#include "views/shared/text.h"
#include "views/shell/keyboard_return.h"

namespace hl {

ScannerView::ScannerView(ScannerViewModel& scanner, MonotonicClock sheetClock, QWidget* parent)
    : QWidget(parent), scanner_(scanner), sheetClock_(std::move(sheetClock)) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  stack_ = new QStackedWidget(this);
  layout->addWidget(stack_);

  treePage_ = buildTreePage();
  stack_->addWidget(treePage_);
  scanning_ = new EmptyStateView("magnifyingglass", QStringLiteral("Scanning\u2026"),
                                 ScannerTexts::progressLine(0, 0, false), std::nullopt, this);
  scanning_->setObjectName(QStringLiteral("scanningState"));
  stack_->addWidget(scanning_);
  empty_ = new EmptyStateView(
      "folder.badge.questionmark", QStringLiteral("Scan any folder"),
      ScannerTexts::emptyDescription(std::nullopt),
      EmptyStateView::Button{QStringLiteral("Choose Folder\u2026"),
                             EmptyStateView::ButtonStyle::prominent,
                             [this] { scanner_.chooseFolder(); }},
      this);
  empty_->setObjectName(QStringLiteral("emptyState"));
  stack_->addWidget(empty_);

  keyboard_ = new KeyboardReturn(
      {this},
      [this] {
        return sheet_ || alert_ || scanner_.isTrashing() || scanner_.isCheckingPolicy();
      },
      this);
  keyboard_->setFallbacks({tree_});

  using VM = ScannerViewModel;
  for (auto signal : {&VM::rootChanged, &VM::isScanningChanged, &VM::errorMessageChanged}) {
    connect(&scanner_, signal, this, &ScannerView::showState);
  }
  connect(&scanner_, &VM::rootChanged, this, &ScannerView::showHeader);
  connect(&scanner_, &VM::progressChanged, this, &ScannerView::showProgress);
  for (auto signal : {&VM::rootChanged, &VM::selectionChanged, &VM::refusalsChanged,
                      &VM::isTrashingChanged}) {
    connect(&scanner_, signal, this, &ScannerView::showButtons);
  }
  connect(&scanner_, &VM::selectionChanged, this, &ScannerView::selectionChanged);
  connect(&scanner_, &VM::pendingPlanChanged, this, &ScannerView::showPlan);
  connect(&scanner_, &VM::resultMessageChanged, this, &ScannerView::showMessage);
  connect(tree_, &FileTreeView::menuRequested, this,
          [this](const std::set<std::string>& ids, const QPoint& at) {
            QMenu* menu = makeContextMenu(ids);
            if (!menu) return;
            menu->setAttribute(Qt::WA_DeleteOnClose);
            menu->popup(at);
          });

  showState();
  showHeader();
  showProgress();
  showButtons();
}

ScannerView::~ScannerView() {
  // The sheet and the alert belong to the window; they go with the page.
  delete sheet_.data();
  delete alert_.data();
}

QWidget* ScannerView::buildTreePage() {
  auto* page = new QWidget(this);
  page->setObjectName(QStringLiteral("treeState"));
  auto* column = new QVBoxLayout(page);
  column->setContentsMargins(24, 16, 24, 16);
  column->setSpacing(10);

  auto* header = new QHBoxLayout;
  header->setSpacing(8);
  title_ = new HeadingLabel(QString(), page);
  title_->setObjectName(QStringLiteral("title"));
  title_->setFont(sizedFont(font(), 22, QFont::DemiBold));
  title_->setSizePolicy(QSizePolicy::Maximum, QSizePolicy::Preferred);
  title_->setMinimumWidth(0);
  header->addWidget(title_, 0, Qt::AlignBaseline);
  size_ = plainLabel(QString(), page);
  size_->setObjectName(QStringLiteral("size"));
  size_->setFont(sizedFont(font(), 20));
  makeSecondary(size_);
  header->addWidget(size_, 0, Qt::AlignBaseline);
  header->addStretch(1);
  path_ = new ElidedLabel(QString(), Qt::ElideMiddle, page);
  path_->setObjectName(QStringLiteral("path"));
  path_->setFont(sizedFont(font(), 13));
  makeSecondary(path_);
  path_->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
  header->addWidget(path_, 0, Qt::AlignBaseline);
  selectAll_ = new ProminentButton(QStringLiteral("Select All"), page);
  selectAll_->setObjectName(QStringLiteral("selectAll"));
  selectAll_->setControlSize(FilledButton::ControlSize::small);
  setHelp(selectAll_, ScannerTexts::selectAllHelp());
  connect(selectAll_, &QPushButton::clicked, this, [this] { scanner_.selectAll(); });
  header->addWidget(selectAll_, 0, Qt::AlignVCenter);
  deselectAll_ = new QPushButton(QStringLiteral("Deselect All"), page);
  deselectAll_->setObjectName(QStringLiteral("deselectAll"));
  deselectAll_->setFont(sizedFont(font(), 12));
  padButton(deselectAll_, 24);
  connect(deselectAll_, &QPushButton::clicked, this, [this] { scanner_.deselectAll(); });
  header->addWidget(deselectAll_, 0, Qt::AlignVCenter);
  column->addLayout(header);

  tree_ = new FileTreeView(scanner_, page);
  tree_->setObjectName(QStringLiteral("tree"));
  column->addWidget(tree_, 1);
  return page;
}

ConfirmTrashSheet* ScannerView::sheet() const { return sheet_; }

ResultAlert* ScannerView::alert() const { return alert_; }

ScannerView::State ScannerView::state() const {
  if (scanner_.root()) return State::tree;
  return scanner_.isScanning() ? State::scanning : State::empty;
}

void ScannerView::showState() {
  switch (state()) {
    case State::tree: {
      // The keyboard was in this pane (on the button that went with the empty state, or on the
      // scanning state), where the scan was started from, or nowhere: the tree is what it came
      // for. The window's focus widget: the window may not be active again yet after the
      // folder chooser.
      QWidget* focus = window()->focusWidget();
      const bool fromOrigin = keyboardOrigin_ && keyboardOrigin_->isAncestorOf(focus);
      keyboardOrigin_.clear();
      const bool keyboardHere =
          stack_->currentWidget() != treePage_ &&
          (fromOrigin || isAncestorOf(focus) || (isVisible() && (!focus || !focus->isVisible())));
      stack_->setCurrentWidget(treePage_);
      if (keyboardHere) tree_->setFocus(Qt::OtherFocusReason);
      break;
    }
    case State::scanning:
      stack_->setCurrentWidget(scanning_);
      break;
    case State::empty:
      // Stopped or failed: no tree comes for the keyboard.
      keyboardOrigin_.clear();
      empty_->messageLabel()->setText(ScannerTexts::emptyDescription(scanner_.errorMessage()));
      stack_->setCurrentWidget(empty_);
      break;
  }
}

void ScannerView::showHeader() {
  const FileNode* root = scanner_.root();
  if (!root) return;
  title_->setText(qtext(root->name()));
  size_->setText(ScannerTexts::headerSize(root->size(), scanner_.isApproximate()));
  path_->setText(qtext(abbreviatedPath(root->url(), scanner_.home())));
  tree_->setAccessibleName(qtext(root->name()));
}

void ScannerView::showProgress() {
  const ScanProgress& progress = scanner_.progress();
  scanning_->messageLabel()->setText(ScannerTexts::progressLine(
      progress.itemsVisited, progress.bytesScanned, scanner_.isApproximate()));
  if (scanner_.root()) {
    size_->setText(ScannerTexts::headerSize(scanner_.root()->size(), scanner_.isApproximate()));
  }
}

void ScannerView::showButtons() {
  setEnabledHandingOver(selectAll_, scanner_.canSelectAll(), deselectAll_,
                        !scanner_.selection().empty());
}

void ScannerView::selectionChanged() {
  // The first judgement of a new tree is the view model's own; each change after it is judged
  // here, for a bounded number of rows however many are selected.
  const std::vector<std::string> ids = ScannerTexts::previewIDs(scanner_.selection());
  if (!ids.empty()) scanner_.previewPolicy(ids);
}

void ScannerView::treeTakesKeyboardAfterScanFrom(QWidget* origin) {
  if (state() == State::scanning) keyboardOrigin_ = origin;
}

bool ScannerView::selectAll() {
  if (!tree_->hasFocus()) return false;
  tree_->selectAll();
  return true;
}

QMenu* ScannerView::makeContextMenu(const std::set<std::string>& ids) {
  const auto entries = ScannerTexts::menu(ids.size(), scanner_.isReadOnly(),
                                          scanner_.isTrashing(), scanner_.removalMode());
  if (entries.empty()) return nullptr;
  const std::vector<std::string> ordered(ids.begin(), ids.end());
  auto* menu = new QMenu(this);
  using Action = TableInteractions::MenuEntry::Action;
  for (const auto& entry : entries) {
    if (entry.action == Action::divider) {
      menu->addSeparator();
      continue;
    }
    QAction* action = menu->addAction(qtext(entry.title));
    action->setEnabled(entry.enabled);
    switch (entry.action) {
      case Action::reveal:
        connect(action, &QAction::triggered, this,
                [this, ordered] { scanner_.revealInFinder(ordered); });
        break;
      case Action::copyPaths:
        connect(action, &QAction::triggered, this,
                [this, ordered] { scanner_.copyPaths(ordered); });
        break;
      case Action::remove:
        action->setIcon(symbolIcon("trash", PaletteColors::red(palette())));
        connect(action, &QAction::triggered, this,
                [this, ids] { scanner_.requestTrash(ids); });
        // A removal that starts or ends while the menu is open changes what it may offer.
        connect(&scanner_, &ScannerViewModel::isTrashingChanged, action, [this, action] {
          action->setEnabled(!scanner_.isReadOnly() && !scanner_.isTrashing());
        });
        break;
      default:
        break;
    }
  }
  return menu;
}

void ScannerView::showPlan() {
  const auto& plan = scanner_.pendingPlan();
  if (!plan) {
    if (sheet_) keyboard_->closeAndGiveBack([this] { closeSheet(); });
    return;
  }
  const std::string key = ScannerTexts::planKey(*plan);
  if (sheet_ && key == sheetKey_) return;
  closeSheet();
  ConfirmTrashSheet::Contents contents =
      ScannerTexts::sheetContents(*plan, scanner_.pendingMode(), scanner_.pendingRefusedCount(),
                                  scanner_.isReadOnly(), scanner_.home());
  const std::vector<FileNode> nodes = *plan;
  contents.onConfirm = [this, nodes] { scanner_.confirmTrash(nodes); };
  contents.onCancel = [this] { scanner_.setPendingPlan(std::nullopt); };
  sheetKey_ = key;
  sheet_ = new ConfirmTrashSheet(std::move(contents), sheetClock_, window());
  sheet_->setAttribute(Qt::WA_DeleteOnClose);
  sheet_->open();
}

void ScannerView::closeSheet() {
  sheetKey_.clear();
  if (!sheet_) return;
  ConfirmTrashSheet* closing = sheet_;
  sheet_ = nullptr;
  closing->dismiss();
}

void ScannerView::showMessage() {
  const std::optional<std::string>& message = scanner_.resultMessage();
  if (!message) {
    if (ResultAlert* closing = alert_) {
      alert_ = nullptr;
      closing->done(0);
    }
    return;
  }
  if (alert_) {
    alert_->setMessage(qtext(*message));
    return;
  }
  alert_ = new ResultAlert(qtext(*message), window());
  alert_->setAttribute(Qt::WA_DeleteOnClose);
  // Closed by "OK", Escape or the window's close button: the message has been read.
  connect(alert_, &QDialog::finished, this, [this, shown = alert_.data()] {
    if (alert_ == shown) {
      alert_ = nullptr;
      scanner_.setResultMessage(std::nullopt);
      keyboard_->giveBack();
    }
  });
  alert_->open();
}

}  // namespace hl
