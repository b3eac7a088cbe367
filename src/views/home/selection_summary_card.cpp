#include "views/home/selection_summary_card.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QProgressBar>
#include <QVBoxLayout>

#include "viewmodels/cleaner/cleaner_view_model.h"
#include "views/home/home_texts.h"
#include "views/shared/coalesced_update.h"
#include "views/shared/destructive_button.h"
#include "views/shared/palette_colors.h"
#include "views/shared/spinner.h"
#include "views/shared/symbol_icon.h"
#include "views/shared/text.h"

namespace hl {

SelectionSummaryCard::SelectionSummaryCard(CleanerViewModel& cleaner, QWidget* parent)
    : QFrame(parent), cleaner_(cleaner) {
  setFixedHeight(cardHeight);
  setAccessibleName(QStringLiteral("Selection"));
  auto* row = new QHBoxLayout(this);
  row->setContentsMargins(14, 0, 14, 0);
  row->setSpacing(12);

  auto* texts = new QVBoxLayout;
  texts->setSpacing(2);
  texts->addStretch(1);
  count_ = plainLabel({}, this);
  count_->setFont(sizedFont(font(), 13, QFont::DemiBold));
  texts->addWidget(count_);
  size_ = plainLabel({}, this);
  size_->setFont(sizedFont(font(), 11));
  texts->addWidget(size_);
  texts->addStretch(1);
  row->addLayout(texts);
  row->addStretch(1);

  progress_ = new QProgressBar(this);
  progress_->setFixedWidth(120);
  progress_->setTextVisible(false);
  progress_->setMaximumHeight(8);
  progress_->setAccessibleName(QStringLiteral("Removal progress"));
  row->addWidget(progress_);
  spinner_ = new Spinner(this, 16);
  row->addWidget(spinner_);

  button_ = new DestructiveButton({}, this);
  button_->setControlSize(FilledButton::ControlSize::large);
  row->addWidget(button_);
  connect(button_, &QPushButton::clicked, this, [this] { cleaner_.requestTrash(); });

  // One step of the view model announces several of these together: the card follows once.
  auto* refresh = new CoalescedUpdate(this, [this] { this->refresh(); });
  for (auto signal : {&CleanerViewModel::checkStateChanged, &CleanerViewModel::isTrashingChanged,
                      &CleanerViewModel::isRemovalBusyChanged,
                      &CleanerViewModel::trashProgressChanged,
                      &CleanerViewModel::removalModeChanged, &CleanerViewModel::readOnlyChanged,
                      &CleanerViewModel::includedItemsChanged}) {
    connect(&cleaner_, signal, refresh, &CoalescedUpdate::request);
  }
  this->refresh();
}

void SelectionSummaryCard::refresh() {
  const std::vector<CacheItem> checked = cleaner_.checkedItems();
  const bool permanent = cleaner_.deletesImmediately();
  const bool readOnly = cleaner_.isReadOnly();
  count_->setText(qtext(HomeTexts::countLine(checked.size())));
  size_->setText(qtext(HomeTexts::sizeLine(cleaner_.checkedSize(), permanent)));
  if (permanent) {
    setTextTint(size_, &PaletteColors::red);
  } else {
    setTextTint(size_, &PaletteColors::secondaryText);
  }

  const bool trashing = cleaner_.isTrashing();
  const auto progress = cleaner_.trashProgress();
  progress_->setVisible(trashing && progress.total != 0);
  spinner_->setVisible(trashing && progress.total == 0);
  if (progress.total != 0) {
    progress_->setRange(0, progress.total);
    progress_->setValue(progress.done);
  }

  button_->setText(qtext(HomeTexts::removalButtonTitle(readOnly, permanent)));
  button_->setIcon(symbolIcon(HomeTexts::removalButtonSymbol(readOnly)));
  button_->setAccessibleName(button_->text());
  button_->setEnabled(
      HomeTexts::removalButtonEnabled(checked.size(), cleaner_.isRemovalBusy(), readOnly));
}

void SelectionSummaryCard::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(Qt::NoPen);
  painter.setBrush(PaletteColors::primary(palette(), 0.05));
  painter.drawRoundedRect(QRectF(rect()), 10, 10);
}

}  // namespace hl
