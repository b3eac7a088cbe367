#include "views/menubar/popover_parts.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "build_version.h"
#include "models/volume_info.h"
#include "utilities/byte_formatting.h"
#include "viewmodels/cleaner/cleaner_view_model.h"
#include "viewmodels/settings_store.h"
#include "viewmodels/updater_box.h"
#include "views/menubar/popover_buttons.h"
#include "views/menubar/popover_fonts.h"
#include "views/menubar/popover_texts.h"
#include "views/shared/palette_colors.h"
#include "views/shared/size_bar.h"
#include "views/shared/spinner.h"
#include "views/shared/symbol_view.h"
#include "views/shared/text.h"

namespace hl {

namespace {

using PopoverFonts::label;
constexpr int kCaptionPixels = PopoverFonts::caption;
constexpr int kCalloutPixels = PopoverFonts::callout;
constexpr int kBodyPixels = PopoverFonts::body;

QHBoxLayout* row(int spacing) {
  auto* layout = new QHBoxLayout;
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(spacing);
  return layout;
}

}  // namespace

// --- Header --------------------------------------------------------------------------------------

PopoverHeader::PopoverHeader(std::function<void()> openMainWindow, QWidget* parent)
    : QWidget(parent) {
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  // The button's own padding is the 8 px between its label and the spinner.
  layout->setSpacing(0);
  button_ = new PopoverHeaderButton(this);
  button_->setObjectName(QStringLiteral("openWindow"));
  connect(button_, &QAbstractButton::clicked, this, [openMainWindow = std::move(openMainWindow)] {
    if (openMainWindow) openMainWindow();
  });
  layout->addWidget(button_, 1);

  // The spinner ends where the label would, so it lines up with the parts below.
  spinnerSlot_ = new QWidget(this);
  auto* slot = new QHBoxLayout(spinnerSlot_);
  slot->setContentsMargins(0, 0, PopoverHeaderButton::horizontalBleed, 0);
  spinner_ = new Spinner(spinnerSlot_);
  spinner_->setAccessibleName(QStringLiteral("Busy"));
  slot->addWidget(spinner_);
  layout->addWidget(spinnerSlot_, 0, Qt::AlignVCenter);
  spinnerSlot_->hide();
}

void PopoverHeader::setBusy(bool busy) { spinnerSlot_->setVisible(busy); }

// --- Boot volume ---------------------------------------------------------------------------------

VolumeBlock::VolumeBlock(QWidget* parent) : QWidget(parent) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(4);
  auto* line = row(8);
  name_ = label(this, "volumeName", kCalloutPixels);
  line->addWidget(name_);
  line->addStretch(1);
  free_ = label(this, "volumeFree", kCalloutPixels);
  line->addWidget(free_);
  layout->addLayout(line);
  bar_ = new SizeBar(0, std::nullopt, this);
  bar_->setObjectName(QStringLiteral("volumeBar"));
  bar_->setFixedHeight(6);
  layout->addWidget(bar_);
  hide();
}

void VolumeBlock::setVolume(const std::optional<VolumeInfo>& volume) {
  setVisible(volume.has_value());
  if (!volume) return;
  name_->setText(qtext(volume->name));
  free_->setText(qtext(PopoverTexts::freeSpace(volume->availableCapacity)));
  const double used = volume->usedFraction();
  bar_->setFraction(used);
  bar_->setTint(VolumeInfo::isNearlyFull(used)
                    ? std::optional<QColor>(PaletteColors::red(palette()))
                    : std::nullopt);
  bar_->setAccessibleName(name_->text());
}

// --- Candidates ----------------------------------------------------------------------------------

CandidatesBlock::CandidatesBlock(CleanerViewModel& cleaner, QWidget* parent)
    : QWidget(parent), cleaner_(cleaner) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(6);

  auto* title = row(8);
  auto* heading = label(this, "candidatesTitle", kBodyPixels, QFont::Medium);
  heading->setText(qtext(PopoverTexts::candidatesTitle));
  title->addWidget(heading);
  title->addStretch(1);
  total_ = label(this, "candidatesTotal", kBodyPixels, QFont::Medium);
  title->addWidget(total_);
  layout->addLayout(title);

  empty_ = label(this, "candidatesEmpty", kCalloutPixels);
  makeSecondary(empty_);
  layout->addWidget(empty_);

  rows_ = new QWidget(this);
  rows_->setObjectName(QStringLiteral("candidateGroups"));
  rowsLayout_ = new QVBoxLayout(rows_);
  rowsLayout_->setContentsMargins(0, 0, 0, 0);
  rowsLayout_->setSpacing(6);
  layout->addWidget(rows_);

  skipped_ = label(this, "candidatesSkipped", kCaptionPixels);
  setTextTint(skipped_, [](const QPalette& palette) { return PaletteColors::orange(palette); });
  layout->addWidget(skipped_);

  policy_ = label(this, "candidatesPolicy", kCaptionPixels);
  policy_->setWordWrap(true);
  setTextTint(policy_, [](const QPalette& palette) { return PaletteColors::tertiaryText(palette); });
  layout->addWidget(policy_);

  connect(&cleaner_, &CleanerViewModel::quickCleanCandidatesChanged, this, [this] {
    if (isVisible()) refresh();
  });
  connect(&cleaner_, &CleanerViewModel::isScanningChanged, this, [this] {
    if (isVisible()) refresh();
  });
  refresh();
}

void CandidatesBlock::refresh() {
  const std::vector<CleanerViewModel::GroupSize> groups = cleaner_.quickCleanByGroup();
  std::int64_t total = 0;
  for (const auto& group : groups) total += group.size;
  total_->setText(qtext(ByteFormatting::string(total)));

  empty_->setVisible(groups.empty());
  empty_->setText(qtext(PopoverTexts::noCandidates(cleaner_.isScanning())));

  while (QLayoutItem* item = rowsLayout_->takeAt(0)) {
    delete item->widget();
    delete item;
  }
  for (const auto& group : groups) {
    auto* line = new QWidget(rows_);
    line->setObjectName(QString::fromUtf8(rawValue(group.group).data()));
    auto* layout = new QHBoxLayout(line);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(6);
    auto* symbol = new SymbolView(std::string(systemImage(group.group)), 13, {}, line);
    symbol->setFixedWidth(16);
    layout->addWidget(symbol);
    auto* name = label(line, "groupName", kCalloutPixels);
    name->setText(qtext(displayName(group.group)));
    layout->addWidget(name);
    layout->addStretch(1);
    auto* size = label(line, "groupSize", kCalloutPixels);
    size->setText(qtext(ByteFormatting::string(group.size)));
    makeSecondary(size);
    layout->addWidget(size);
    rowsLayout_->addWidget(line);
  }
  rows_->setVisible(!groups.empty());

  const auto skipped = PopoverTexts::skippedLine(cleaner_.inUseSkippedCount());
  skipped_->setVisible(skipped.has_value());
  skipped_->setText(skipped ? qtext(*skipped) : QString());
  policy_->setText(
      qtext(PopoverTexts::policyLine(cleaner_.settings().quickCleanIncludesModerate())));
}

void CandidatesBlock::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  refresh();
}

// --- Footer --------------------------------------------------------------------------------------

PopoverFooter::PopoverFooter(CleanerViewModel& cleaner, UpdaterBox& updater, Actions actions,
                             QWidget* parent)
    : QWidget(parent), cleaner_(cleaner), updater_(updater), actions_(std::move(actions)) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(8);

  auto* first = row(8);
  rescan_ = new PopoverFooterButton(qtext(PopoverTexts::rescan), true, this);
  rescan_->setObjectName(QStringLiteral("rescan"));
  rescan_->setAccessibleDescription(QStringLiteral("Rescans the caches"));
  connect(rescan_, &QAbstractButton::clicked, this, [this] {
    cleaner_.rescan(true);
    if (actions_.refreshVolume) actions_.refreshVolume();
  });
  first->addWidget(rescan_);
  first->addStretch(1);
  quit_ = new PopoverFooterButton(qtext(PopoverTexts::quit), false, this);
  quit_->setObjectName(QStringLiteral("quit"));
  connect(quit_, &QAbstractButton::clicked, this, [this] {
    if (actions_.quit) actions_.quit();
  });
  first->addWidget(quit_);
  layout->addLayout(first);

  auto* second = row(8);
  updates_ = new PopoverLinkButton(qtext(PopoverTexts::checkForUpdates), this);
  updates_->setObjectName(QStringLiteral("checkForUpdates"));
  updates_->setFont(sizedFont(updates_->font(), kCaptionPixels));
  connect(updates_, &QAbstractButton::clicked, this, [this] {
    if (const auto current = updater_.current()) current->checkForUpdates();
  });
  second->addWidget(updates_);
  second->addStretch(1);
  version_ = label(this, "version", kCaptionPixels);
  version_->setText(qtext(PopoverTexts::versionText(BuildVersion::shortVersion)));
  makeSecondary(version_);
  second->addWidget(version_);
  layout->addLayout(second);

  connect(&cleaner_, &CleanerViewModel::isScanningChanged, this, &PopoverFooter::refresh);
  connect(&cleaner_, &CleanerViewModel::isTrashingChanged, this, &PopoverFooter::refresh);
  connect(&updater_, &UpdaterBox::canCheckForUpdatesChanged, this, &PopoverFooter::refresh);
  refresh();
}

void PopoverFooter::refresh() {
  rescan_->setEnabled(PopoverTexts::canRescan(cleaner_.isScanning(), cleaner_.isTrashing()));
  updates_->setEnabled(updater_.canCheckForUpdates());
}

}  // namespace hl
