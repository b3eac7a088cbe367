#include "views/pages/scanner/scanner_sidebar.h"

#include <QCheckBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include "utilities/path_canonical.h"
#include "viewmodels/scanner/scanner_view_model.h"
#include "views/pages/scanner/scanner_texts.h"
#include "views/shared/selectable_text.h"
#include "views/shared/check_box.h"
#include "views/shared/destructive_button.h"
#include "views/shared/elided_label.h"
#include "views/shared/palette_colors.h"
#include "views/shared/panel_section.h"
#include "views/shared/sidebar_header.h"
#include "views/shared/symbol_icon.h"
#include "views/shared/text.h"

namespace hl {

namespace {

QLabel* figuresLabel(QWidget* parent) {
  auto* label = plainLabel(QString(), parent);
  label->setFont(sizedFont(parent->font(), 12));
  label->setWordWrap(true);
  return label;
}

}  // namespace

ScannerSidebar::ScannerSidebar(ScannerViewModel& scanner, QWidget* parent)
    : QWidget(parent), scanner_(scanner) {
  setFont(sizedFont(font(), 13));
  auto* column = new QVBoxLayout(this);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(0);
  column->addWidget(new SidebarHeader(QStringLiteral("Folder Scanner"), this));

  auto* controls = new QVBoxLayout;
  controls->setContentsMargins(16, 0, 16, 16);
  controls->setSpacing(14);

  choose_ = new QPushButton(symbolIcon("folder"), QStringLiteral("Choose Folder\u2026"), this);
  choose_->setObjectName(QStringLiteral("chooseFolder"));
  choose_->setAccessibleName(QStringLiteral("Choose Folder\u2026"));
  padButton(choose_, 32);
  choose_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
  connect(choose_, &QPushButton::clicked, this, [this] {
    scanner_.chooseFolder();
    if (scanner_.isScanning()) emit scanChosen();
  });
  controls->addWidget(choose_);

  includeHidden_ = new CheckBox(QStringLiteral("Include hidden files"), this);
  includeHidden_->setObjectName(QStringLiteral("includeHidden"));
  connect(includeHidden_, &QCheckBox::toggled, this,
          [this](bool on) { scanner_.setIncludeHidden(on); });
  controls->addWidget(includeHidden_);

  folder_ = new PanelSection(QStringLiteral("Folder"), std::nullopt, this);
  folder_->setObjectName(QStringLiteral("folderSection"));
  folderPath_ = new SelectableText(3, folder_);
  folderPath_->setFont(sizedFont(font(), 13));
  folder_->addContent(folderPath_);
  folderTotals_ = figuresLabel(folder_);
  makeSecondary(folderTotals_);
  folder_->addContent(folderTotals_);
  skipped_ = plainLabel(QString(), folder_);
  skipped_->setFont(sizedFont(font(), 11));
  skipped_->setWordWrap(true);
  makeSecondary(skipped_);
  folder_->addContent(skipped_);
  controls->addWidget(folder_);

  progress_ = new PanelSection(QStringLiteral("Progress"), std::nullopt, this);
  progress_->setObjectName(QStringLiteral("progressSection"));
  bar_ = new QProgressBar(progress_);
  bar_->setRange(0, 0);
  bar_->setTextVisible(false);
  bar_->setMaximumHeight(6);
  bar_->setAccessibleName(QStringLiteral("Progress"));
  progress_->addContent(bar_);
  progressLine_ = figuresLabel(progress_);
  progress_->addContent(progressLine_);
  currentPath_ = new ElidedLabel(QString(), Qt::ElideMiddle, progress_);
  currentPath_->setFont(sizedFont(font(), 11));
  makeSecondary(currentPath_);
  currentPath_->setMaximumLines(2);
  progress_->addContent(currentPath_);
  stop_ = new QPushButton(QStringLiteral("Stop"), progress_);
  stop_->setObjectName(QStringLiteral("stop"));
  padButton(stop_, 26);
  connect(stop_, &QPushButton::clicked, this, [this] { scanner_.cancel(); });
  progress_->contentLayout()->addWidget(stop_, 0, Qt::AlignLeft);
  controls->addWidget(progress_);

  selection_ = new PanelSection(QStringLiteral("Selection"), std::nullopt, this);
  selection_->setObjectName(QStringLiteral("selectionSection"));
  selectionLine_ = figuresLabel(selection_);
  selection_->addContent(selectionLine_);
  remove_ = new DestructiveButton(QString(), selection_);
  remove_->setObjectName(QStringLiteral("removeSelected"));
  remove_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
  // One line, as "Choose Folder…" above it, at the sidebar's usual width.
  remove_->setKeepsLabelOnOneLine(true);
  connect(remove_, &QPushButton::clicked, this, [this] { scanner_.requestTrash(); });
  selection_->addContent(remove_);
  controls->addWidget(selection_);

  column->addLayout(controls);
  column->addStretch(1);

  using VM = ScannerViewModel;
  for (auto signal : {&VM::rootURLChanged, &VM::rootChanged, &VM::progressChanged}) {
    connect(&scanner_, signal, this, &ScannerSidebar::showFolder);
  }
  for (auto signal : {&VM::isScanningChanged, &VM::progressChanged}) {
    connect(&scanner_, signal, this, &ScannerSidebar::showProgress);
  }
  for (auto signal : {&VM::selectionChanged, &VM::rootChanged, &VM::isTrashingChanged}) {
    connect(&scanner_, signal, this, &ScannerSidebar::showSelection);
  }
  connect(&scanner_, &VM::isScanningChanged, this,
          [this] { choose_->setEnabled(!scanner_.isScanning()); });
  connect(&scanner_, &VM::includeHiddenChanged, this,
          [this] { includeHidden_->setChecked(scanner_.includeHidden()); });

  includeHidden_->setChecked(scanner_.includeHidden());
  choose_->setEnabled(!scanner_.isScanning());
  showFolder();
  showProgress();
  showSelection();
}

void ScannerSidebar::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  showSelection();
}

void ScannerSidebar::showFolder() {
  const std::optional<std::string>& url = scanner_.rootURL();
  folder_->setVisible(url.has_value());
  if (!url) return;
  folderPath_->setText(qtext(abbreviatedPath(*url, scanner_.home())));
  const FileNode* root = scanner_.root();
  folderTotals_->setVisible(root != nullptr);
  if (root) {
    folderTotals_->setText(
        ScannerTexts::folderTotals(root->size(), root->fileCount(), scanner_.isApproximate()));
  }
  const std::optional<std::string> skipped = scanner_.skippedSummary();
  skipped_->setVisible(skipped.has_value());
  if (skipped) skipped_->setText(qtext(*skipped));
}

void ScannerSidebar::showProgress() {
  progress_->setVisible(scanner_.isScanning());
  if (!scanner_.isScanning()) return;
  const ScanProgress& progress = scanner_.progress();
  progressLine_->setText(ScannerTexts::progressLine(progress.itemsVisited, progress.bytesScanned,
                                                    scanner_.isApproximate()));
  currentPath_->setText(qtext(progress.currentPath));
}

void ScannerSidebar::showSelection() {
  selection_->setVisible(!scanner_.selection().empty());
  if (scanner_.selection().empty()) return;
  const std::vector<const FileNode*> nodes = scanner_.selectedNodes();
  std::int64_t size = 0;
  for (const FileNode* node : nodes) size += node->size();
  selectionLine_->setText(ScannerTexts::selectionLine(nodes.size(), size));
  const QString title =
      ScannerTexts::selectionButtonTitle(scanner_.isReadOnly(), scanner_.deletesImmediately());
  remove_->setText(title);
  remove_->setAccessibleName(title);
  remove_->setIcon(symbolIcon(scanner_.isReadOnly() ? "lock.fill" : "trash"));
  remove_->setEnabled(ScannerTexts::selectionButtonEnabled(nodes.size(), scanner_.isTrashing(),
                                                          scanner_.isReadOnly()));
}

}  // namespace hl
