#include "views/shell/right_panel.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>

#include "models/volume_info.h"
#include "utilities/byte_formatting.h"
#include "viewmodels/app_model.h"
#include "views/pages/page_dates.h"
#include "views/shared/elided_label.h"
#include "views/shared/palette_colors.h"
#include "views/shared/panel_section.h"
#include "views/shared/size_bar.h"
#include "views/shared/symbol_view.h"
#include "views/shared/text.h"

namespace hl {

namespace {

constexpr int captionPixels = 11;

QLabel* captionLabel(QWidget* parent) {
  QLabel* label = plainLabel({}, parent);
  label->setFont(sizedFont(parent->font(), captionPixels));
  makeSecondary(label);
  return label;
}

QWidget* row(QWidget* parent, QWidget* leading, QWidget* trailing) {
  auto* box = new QWidget(parent);
  auto* layout = new QHBoxLayout(box);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(8);
  layout->addWidget(leading);
  layout->addStretch(1);
  layout->addWidget(trailing);
  return box;
}

// The three faint bars that stand in for the totals while the first items are measured.
class PlaceholderBars : public QWidget {
 public:
  explicit PlaceholderBars(QWidget* parent) : QWidget(parent) {
    setFixedHeight(3 * barHeight + 2 * gap);
    setAccessibleName(QStringLiteral("Scanning…"));
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    for (int bar = 0; bar < 3; ++bar) {
      QPainterPath path;
      path.addRoundedRect(QRectF(0, bar * (barHeight + gap), width(), barHeight), 6, 6);
      painter.fillPath(path, PaletteColors::primary(palette(), 0.08));
    }
  }

 private:
  static constexpr int barHeight = 14;
  static constexpr int gap = 8;
};

bool sameRows(const std::vector<CacheItem>& a, const std::vector<CacheItem>& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (a[i].id != b[i].id || a[i].name != b[i].name || a[i].group != b[i].group ||
        a[i].knownSize() != b[i].knownSize()) {
      return false;
    }
  }
  return true;
}

}  // namespace

LargestItemRow::LargestItemRow(const CacheItem& item, QWidget* parent)
    : HoverButton(parent), id_(item.id) {
  setFocusPolicy(Qt::StrongFocus);
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(0, 2, 0, 2);
  layout->setSpacing(8);
  auto* symbol = new SymbolView(std::string(systemImage(item.group)), 16, {}, this);
  layout->addWidget(symbol);
  auto* names = new QVBoxLayout;
  names->setSpacing(1);
  name_ = new ElidedLabel(qtext(item.name), Qt::ElideRight, this);
  name_->setFont(sizedFont(font(), 13, QFont::Medium));
  names->addWidget(name_);
  group_ = new ElidedLabel(qtext(displayName(item.group)), Qt::ElideRight, this);
  group_->setFont(sizedFont(font(), 11));
  makeSecondary(group_);
  names->addWidget(group_);
  layout->addLayout(names, 1);
  layout->addSpacing(4);
  size_ = plainLabel(qtext(ByteFormatting::string(item.knownSize())), this);
  makeSecondary(size_);
  size_->setMinimumWidth(64);
  size_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  size_->setSizePolicy(QSizePolicy::Minimum, QSizePolicy::Preferred);
  layout->addWidget(size_);
  setAccessibleName(name_->text() + QStringLiteral(", ") + group_->text() + QStringLiteral(", ") +
                    size_->text());
  setHelp(this, qtext(item.url));
}

QSize LargestItemRow::sizeHint() const { return layout()->sizeHint(); }

void LargestItemRow::paintEvent(QPaintEvent*) {
  const bool ring = showsFocusRing();
  if (!isHovered() && !ring) return;
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  QPainterPath path;
  path.addRoundedRect(QRectF(rect()).adjusted(-4, 0, 4, 0).intersected(QRectF(rect())), 6, 6);
  if (isHovered()) painter.fillPath(path, PaletteColors::primary(palette(), 0.05));
  if (ring) {
    painter.setPen(QPen(PaletteColors::focusRing(palette()), 1.5));
    painter.drawPath(path);
  }
}

RightPanel::RightPanel(AppModel& model, QWidget* parent) : QScrollArea(parent), model_(model) {
  setObjectName(QStringLiteral("rightPanel"));
  setFrameShape(QFrame::NoFrame);
  setWidgetResizable(true);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  viewport()->setAutoFillBackground(false);
  // Its rows take the focus; the panel itself would be a stop that shows nothing.
  setFocusPolicy(Qt::NoFocus);

  auto* column = new QWidget;
  column->setAutoFillBackground(false);
  auto* layout = new QVBoxLayout(column);
  layout->setContentsMargins(20, 16, 20, 16);
  layout->setSpacing(20);
  layout->addWidget(buildDisk());
  layout->addWidget(buildReclaimable());
  layout->addWidget(buildLargest());
  layout->addWidget(buildLastCleanup());
  layout->addStretch(1);
  setWidget(column);

  connect(&model_, &AppModel::bootVolumeChanged, this, &RightPanel::showDisk);
  CleanerViewModel& cleaner = model_.cleaner();
  for (auto signal : {&CleanerViewModel::contentStateChanged, &CleanerViewModel::itemsChanged,
                      &CleanerViewModel::totalsChanged, &CleanerViewModel::checkStateChanged}) {
    connect(&cleaner, signal, this, &RightPanel::showTotals);
  }
  for (auto signal : {&CleanerViewModel::totalsChanged, &CleanerViewModel::isScanningChanged}) {
    connect(&cleaner, signal, this, &RightPanel::showLargest);
  }
  connect(&model_.history(), &HistoryViewModel::entriesChanged, this,
          &RightPanel::showLastCleanup);
  showDisk();
  showTotals();
  showLargest();
  showLastCleanup();
}

void RightPanel::showInTable(AppModel& model, const CacheItem& item) {
  CleanerViewModel& cleaner = model.cleaner();
  // The click is there to show the item: a project touched lately would stay hidden under
  // "Stale".
  if (cleaner.staleFilterHides(item)) cleaner.setShowAllProjects(true);
  if (model.page() != Page::home) model.setPage(Page::home);
  if (cleaner.selectedGroup() != item.group) cleaner.setSelectedGroup(item.group);
  cleaner.setTab(HomeTab::items);
  cleaner.setTableSelection({item.id});
}

QWidget* RightPanel::buildDisk() {
  disk_ = new PanelSection(QStringLiteral("Disk"));
  diskUnavailable_ = plainLabel(QStringLiteral("Unavailable"), disk_);
  makeSecondary(diskUnavailable_);
  disk_->addContent(diskUnavailable_);

  volume_ = new QWidget(disk_);
  auto* lines = new QVBoxLayout(volume_);
  lines->setContentsMargins(0, 0, 0, 0);
  lines->setSpacing(8);
  volumeName_ = plainLabel({}, volume_);
  volumeName_->setFont(sizedFont(disk_->font(), 13, QFont::DemiBold));
  lines->addWidget(volumeName_);
  diskBar_ = new SizeBar(0, std::nullopt, volume_);
  diskBar_->setFixedHeight(6);
  diskBar_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
  lines->addWidget(diskBar_);
  used_ = captionLabel(volume_);
  free_ = captionLabel(volume_);
  lines->addWidget(row(volume_, used_, free_));
  total_ = plainLabel({}, volume_);
  total_->setFont(sizedFont(disk_->font(), captionPixels));
  setTextTint(total_, &PaletteColors::tertiaryText);
  lines->addWidget(total_);
  disk_->addContent(volume_);
  return disk_;
}

QWidget* RightPanel::buildReclaimable() {
  reclaimable_ = new PanelSection(
      QStringLiteral("Reclaimable"),
      QStringLiteral("Total found includes review, report-only and in-use items; reclaimable is "
                     "what can be selected. Sizes are allocated size; clones and hard links may "
                     "free less."));
  placeholder_ = new QWidget(reclaimable_);
  auto* waiting = new QVBoxLayout(placeholder_);
  waiting->setContentsMargins(0, 0, 0, 0);
  waiting->setSpacing(8);
  waiting->addWidget(new PlaceholderBars(placeholder_));
  QLabel* scanning = captionLabel(placeholder_);
  scanning->setText(QStringLiteral("Scanning…"));
  waiting->addWidget(scanning);
  reclaimable_->addContent(placeholder_);

  figures_ = new QWidget(reclaimable_);
  auto* rows = new QVBoxLayout(figures_);
  rows->setContentsMargins(0, 0, 0, 0);
  rows->setSpacing(8);
  const auto figure = [&](const QString& title) {
    QLabel* value = plainLabel({}, figures_);
    makeSecondary(value);
    value->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    QLabel* label = plainLabel(title, figures_);
    label->setBuddy(value);
    rows->addWidget(row(figures_, label, value));
    return value;
  };
  totalFound_ = figure(QStringLiteral("Total found"));
  reclaimableValue_ = figure(QStringLiteral("Reclaimable"));
  selected_ = figure(QStringLiteral("Selected"));
  reclaimable_->addContent(figures_);
  return reclaimable_;
}

QWidget* RightPanel::buildLargest() {
  largest_ = new PanelSection(QStringLiteral("Largest items"));
  largestEmpty_ = plainLabel({}, largest_);
  largestEmpty_->setFont(sizedFont(largest_->font(), 12));
  makeSecondary(largestEmpty_);
  largest_->addContent(largestEmpty_);
  rowsBox_ = new QWidget(largest_);
  rowsLayout_ = new QVBoxLayout(rowsBox_);
  rowsLayout_->setContentsMargins(0, 0, 0, 0);
  rowsLayout_->setSpacing(8);
  largest_->addContent(rowsBox_);
  return largest_;
}

QWidget* RightPanel::buildLastCleanup() {
  lastCleanup_ = new PanelSection(QStringLiteral("Last cleanup"));
  never_ = plainLabel(QStringLiteral("Never"), lastCleanup_);
  makeSecondary(never_);
  lastCleanup_->addContent(never_);
  cleanupDate_ = plainLabel({}, lastCleanup_);
  lastCleanup_->addContent(cleanupDate_);
  cleanupBytes_ = captionLabel(lastCleanup_);
  lastCleanup_->addContent(cleanupBytes_);
  return lastCleanup_;
}

void RightPanel::changeEvent(QEvent* event) {
  QScrollArea::changeEvent(event);
  // The bar's red is the palette's.
  if (event->type() == QEvent::PaletteChange) showDisk();
}

void RightPanel::showDisk() {
  const std::optional<VolumeInfo>& volume = model_.bootVolume();
  diskUnavailable_->setVisible(!volume);
  volume_->setVisible(volume.has_value());
  if (!volume) return;
  volumeName_->setText(qtext(volume->name));
  const double fraction = volume->usedFraction();
  diskBar_->setFraction(fraction);
  // The bar tells how full the volume is, under the volume's name.
  diskBar_->setAccessibleName(volumeName_->text());
  diskBar_->setTint(VolumeInfo::isNearlyFull(fraction)
                        ? std::optional<QColor>(PaletteColors::red(palette()))
                        : std::nullopt);
  used_->setText(qtext(ByteFormatting::string(volume->usedCapacity()) + " used"));
  free_->setText(qtext(ByteFormatting::string(volume->availableCapacity) + " free"));
  total_->setText(qtext(ByteFormatting::string(volume->totalCapacity) + " total"));
}

void RightPanel::showTotals() {
  const CleanerViewModel& cleaner = model_.cleaner();
  const bool waiting = cleaner.contentState() == CleanerViewModel::ContentState::scanning &&
                       cleaner.items().empty();
  placeholder_->setVisible(waiting);
  figures_->setVisible(!waiting);
  if (waiting) return;
  totalFound_->setText(qtext(CleanerViewModel::approximate(cleaner.totalSize(std::nullopt))));
  reclaimableValue_->setText(qtext(CleanerViewModel::approximate(cleaner.totalSelectable())));
  selected_->setText(qtext(ByteFormatting::string(cleaner.checkedSize())));
}

void RightPanel::showLargest() {
  const CleanerViewModel& cleaner = model_.cleaner();
  std::vector<CacheItem> items = cleaner.largestItems();
  largestEmpty_->setText(cleaner.isScanning() ? QStringLiteral("Measuring…")
                                              : QStringLiteral("Nothing found yet"));
  largestEmpty_->setVisible(items.empty());
  rowsBox_->setVisible(!items.empty());
  // The same rows stay, so the keyboard's place among them is kept.
  if (sameRows(items, shownLargest_)) return;
  // The window's focus widget: the panel's own remembers the last row that had the keyboard
  // long after it went elsewhere, and taking it back from there would steal it.
  const bool hadFocus = rowsBox_->isAncestorOf(window()->focusWidget());
  // A row may be the one whose click led here: it goes once its click is over.
  for (LargestItemRow* old : rows_) {
    rowsLayout_->removeWidget(old);
    old->hide();
    old->deleteLater();
  }
  rows_.clear();
  for (const CacheItem& item : items) {
    auto* button = new LargestItemRow(item, rowsBox_);
    const std::string id = item.id;
    connect(button, &QAbstractButton::clicked, this, [this, id] {
      if (const std::optional<CacheItem> current = model_.cleaner().item(id)) {
        showInTable(model_, *current);
      }
    });
    rowsLayout_->addWidget(button);
    rows_.push_back(button);
  }
  if (hadFocus && !rows_.empty()) rows_.front()->setFocus();
  shownLargest_ = std::move(items);
}

void RightPanel::showLastCleanup() {
  const HistoryViewModel& history = model_.history();
  const std::optional<HistoryViewModel::LastCleanup> last = history.lastCleanup();
  never_->setVisible(!last);
  cleanupDate_->setVisible(last.has_value());
  cleanupBytes_->setVisible(last.has_value());
  if (!last) return;
  cleanupDate_->setText(PageDates::abbreviated(last->date));
  cleanupBytes_->setText(qtext(ByteFormatting::string(last->bytes) + " " +
                               (history.lastCleanupWasPermanent() ? "deleted permanently"
                                                                  : "moved to Trash")));
}

}  // namespace hl
