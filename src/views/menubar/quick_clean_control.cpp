#include "views/menubar/quick_clean_control.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include "viewmodels/cleaner/cleaner_view_model.h"
#include "views/menubar/popover_fonts.h"
#include "views/menubar/popover_texts.h"
#include "views/menubar/quick_clean_confirm_button.h"
#include "views/shared/destructive_button.h"
#include "views/shared/palette_colors.h"
#include "views/shared/spinner.h"
#include "views/shared/symbol_icon.h"
#include "views/shared/symbol_view.h"
#include "views/shared/text.h"

namespace hl {

namespace {

constexpr int kCaptionPixels = PopoverFonts::caption;
constexpr int kCalloutPixels = PopoverFonts::callout;

QVBoxLayout* column(QWidget* widget, int spacing) {
  auto* layout = new QVBoxLayout(widget);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(spacing);
  return layout;
}

// A small spinner with its text beside it.
QWidget* spinnerRow(std::string_view text, const char* name, QWidget* parent) {
  auto* row = new QWidget(parent);
  auto* layout = new QHBoxLayout(row);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(6);
  auto* spinner = new Spinner(row, 12);
  spinner->setAccessibleName(qtext(text));
  layout->addWidget(spinner, 0, Qt::AlignVCenter);
  QLabel* label = PopoverFonts::label(row, name, kCalloutPixels);
  label->setText(qtext(text));
  layout->addWidget(label, 0, Qt::AlignVCenter);
  return row;
}

QLabel* captionLabel(QWidget* parent, const char* name) {
  return PopoverFonts::label(parent, name, kCaptionPixels);
}

}  // namespace

QuickCleanControl::QuickCleanControl(CleanerViewModel& cleaner, MonotonicClock clock,
                                     WallClock now, QWidget* parent)
    : QWidget(parent), cleaner_(cleaner), clock_(std::move(clock)), now_(std::move(now)) {
  setObjectName(QStringLiteral("quickCleanControl"));
  setAccessibleName(QStringLiteral("Quick Clean"));
  auto* layout = column(this, 0);
  for (QWidget* page :
       {buildIdle(), buildPreparing(), buildConfirming(), buildRunning(), buildDone()}) {
    layout->addWidget(page);
    page->hide();
  }
  idle_->show();

  using C = CleanerViewModel;
  for (auto signal : {&C::quickCleanChanged, &C::quickCleanCandidatesChanged,
                      &C::isScanningChanged, &C::isRemovalBusyChanged, &C::verificationChanged,
                      &C::readOnlyChanged, &C::trashProgressChanged, &C::activeRemovalModeChanged,
                      &C::quickCleanModeChanged}) {
    connect(&cleaner_, signal, this, [this] {
      if (isVisible()) refresh();
    });
  }
  refresh();
}

QWidget* QuickCleanControl::buildIdle() {
  idle_ = new QWidget(this);
  auto* layout = column(idle_, 12);
  idleButton_ = new DestructiveButton(QString(), idle_);
  idleButton_->setObjectName(QStringLiteral("quickCleanButton"));
  idleButton_->setControlSize(FilledButton::ControlSize::large);
  idleButton_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
  connect(idleButton_, &QPushButton::clicked, this, [this] { cleaner_.armQuickClean(); });
  layout->addWidget(idleButton_);

  unverifiable_ = new QWidget(idle_);
  auto* line = new QHBoxLayout(unverifiable_);
  line->setContentsMargins(0, 0, 0, 0);
  line->setSpacing(4);
  const auto red = [](const QPalette& palette) { return PaletteColors::red(palette); };
  line->addWidget(new SymbolView("lock.fill", kCaptionPixels, red, unverifiable_), 0,
                  Qt::AlignTop);
  unverifiableText_ = captionLabel(unverifiable_, "unverifiableLine");
  unverifiableText_->setWordWrap(true);
  setTextTint(unverifiableText_, red);
  line->addWidget(unverifiableText_, 1);
  layout->addWidget(unverifiable_);
  return idle_;
}

QWidget* QuickCleanControl::buildPreparing() {
  preparing_ = new QWidget(this);
  auto* layout = new QHBoxLayout(preparing_);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addStretch(1);
  layout->addWidget(spinnerRow(PopoverTexts::preparing, "preparingLabel", preparing_));
  layout->addStretch(1);
  return preparing_;
}

QWidget* QuickCleanControl::buildConfirming() {
  confirming_ = new QWidget(this);
  auto* layout = column(confirming_, 4);
  confirmCaption_ = captionLabel(confirming_, "confirmCaption");
  confirmCaption_->setAlignment(Qt::AlignHCenter);
  confirmCaption_->setWordWrap(true);
  makeSecondary(confirmCaption_);
  layout->addWidget(confirmCaption_);
  return confirming_;
}

QWidget* QuickCleanControl::buildRunning() {
  running_ = new QWidget(this);
  auto* layout = column(running_, 4);
  checking_ = spinnerRow(PopoverTexts::checkingInUse, "checkingLabel", running_);
  layout->addWidget(checking_, 0, Qt::AlignLeft);
  progress_ = new QProgressBar(running_);
  progress_->setObjectName(QStringLiteral("quickCleanProgress"));
  progress_->setTextVisible(false);
  progress_->setFixedHeight(6);
  layout->addWidget(progress_);
  progressText_ = captionLabel(running_, "progressLabel");
  makeSecondary(progressText_);
  layout->addWidget(progressText_);
  return running_;
}

QWidget* QuickCleanControl::buildDone() {
  done_ = new QWidget(this);
  auto* layout = column(done_, 6);
  auto* row = new QHBoxLayout;
  row->setSpacing(6);
  row->addWidget(new SymbolView("checkmark.circle", 14, {}, done_), 0, Qt::AlignTop);
  message_ = PopoverFonts::label(done_, "doneMessage", kCalloutPixels);
  message_->setWordWrap(true);
  message_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  row->addWidget(message_, 1);
  layout->addLayout(row);
  ok_ = new QPushButton(qtext(PopoverTexts::ok), done_);
  ok_->setObjectName(QStringLiteral("quickCleanOK"));
  ok_->setAccessibleName(ok_->text());
  padButton(ok_);
  connect(ok_, &QPushButton::clicked, this, [this] { cleaner_.cancelQuickClean(); });
  layout->addWidget(ok_, 0, Qt::AlignLeft);
  return done_;
}

QWidget* QuickCleanControl::keyboardTarget() const {
  QWidget* offered = nullptr;
  switch (shown_) {
    case QuickCleanState::Case::idle: offered = idleButton_; break;
    case QuickCleanState::Case::confirming: offered = confirm_; break;
    case QuickCleanState::Case::done: offered = ok_; break;
    default: break;
  }
  return offered && offered->isEnabled() ? offered : nullptr;
}

bool QuickCleanControl::hasKeyboard() const {
  const QWidget* focus = QApplication::focusWidget();
  return focus && (focus == this || isAncestorOf(focus));
}

bool QuickCleanControl::eventFilter(QObject* watched, QEvent* event) {
  if (watched == confirm_ && event->type() == QEvent::EnabledChange && confirm_->isEnabled() &&
      QApplication::focusWidget() == this) {
    confirm_->setFocus(Qt::OtherFocusReason);
  }
  return QWidget::eventFilter(watched, event);
}

void QuickCleanControl::refresh() {
  // Asked before the parts change: a part that is hidden hands the keyboard on.
  const bool keyboard = hasKeyboard();
  refreshState();
  if (!keyboard || (hasKeyboard() && QApplication::focusWidget() != this)) return;
  if (QWidget* target = keyboardTarget()) {
    target->setFocus(Qt::OtherFocusReason);
    return;
  }
  setFocus(Qt::OtherFocusReason);
  if (shown_ == QuickCleanState::Case::idle && !cleaner_.isScanning() &&
      !cleaner_.isRemovalBusy()) {
    emit keyboardHasNothingToPress();
  }
}

void QuickCleanControl::refreshState() {
  const QuickCleanState& state = cleaner_.quickClean();
  switch (state.kind()) {
    case QuickCleanState::Case::idle:
      refreshIdle();
      break;
    case QuickCleanState::Case::preparing:
      break;
    case QuickCleanState::Case::confirming:
      refreshConfirming(*state.confirming());
      break;
    case QuickCleanState::Case::running:
      refreshRunning();
      break;
    case QuickCleanState::Case::done:
      message_->setText(qtext(state.done()->message));
      break;
  }
  showPage(state.kind());
}

void QuickCleanControl::refreshIdle() {
  PopoverTexts::IdleFacts facts;
  facts.hasCandidates = !cleaner_.quickCleanCandidates().empty();
  facts.candidatesSize = cleaner_.quickCleanSize();
  facts.isScanning = cleaner_.isScanning();
  facts.removalBusy = cleaner_.isRemovalBusy();
  if (const std::string* reason = cleaner_.verification().unavailableReason()) {
    facts.unverifiableReason = *reason;
  }
  facts.isReadOnly = cleaner_.isReadOnly();

  const PopoverTexts::IdleButton button = PopoverTexts::idleButton(facts);
  const QString label = qtext(button.label);
  idleButton_->setText(label);
  idleButton_->setAccessibleName(label);
  idleButton_->setIcon(button.symbol ? symbolIcon(*button.symbol) : QIcon());
  idleButton_->setShowsSpinner(button.spinner);
  idleButton_->setEnabled(button.enabled);

  const auto line = PopoverTexts::unverifiableLine(facts.unverifiableReason);
  unverifiableText_->setText(line ? qtext(*line) : QString());
  unverifiable_->setVisible(line.has_value());
}

void QuickCleanControl::refreshConfirming(const QuickCleanState::Confirming& confirming) {
  const bool permanent = isPermanent(cleaner_.quickCleanMode());
  const bool enabled = PopoverTexts::canConfirm(confirming.ids.size(), cleaner_.isReadOnly(),
                                                cleaner_.isRemovalBusy());
  if (confirm_ && confirmIDs_ == confirming.ids) {
    confirm_->setValues(confirming.size, permanent, enabled);
  } else {
    dropConfirmButton();
    confirm_ = new QuickCleanConfirmButton(
        confirming.size, permanent, enabled, [this] { cleaner_.confirmQuickClean(now_()); },
        clock_, confirming_);
    // Armed a second later, it takes the keyboard that waited on the control.
    confirm_->installEventFilter(this);
    confirmIDs_ = confirming.ids;
    static_cast<QVBoxLayout*>(confirming_->layout())->insertWidget(0, confirm_);
  }
  confirmCaption_->setText(
      qtext(PopoverTexts::confirmCaption(confirming.ids.size(), confirming.skippedForProcesses)));
}

void QuickCleanControl::refreshRunning() {
  const CleanerViewModel::TrashProgress progress = cleaner_.trashProgress();
  const auto line =
      PopoverTexts::progressLine(cleaner_.activeRemovalMode(), progress.done, progress.total);
  checking_->setVisible(!line);
  progress_->setVisible(line.has_value());
  progressText_->setVisible(line.has_value());
  if (!line) return;
  progress_->setRange(0, progress.total);
  progress_->setValue(std::min(progress.done, progress.total));
  progressText_->setText(qtext(*line));
  progress_->setAccessibleName(progressText_->text());
}

void QuickCleanControl::showPage(QuickCleanState::Case which) {
  using Case = QuickCleanState::Case;
  // A confirmation that is over takes its button with it: the next one starts unarmed.
  if (which != Case::confirming) dropConfirmButton();
  shown_ = which;
  idle_->setVisible(which == Case::idle);
  preparing_->setVisible(which == Case::preparing);
  confirming_->setVisible(which == Case::confirming);
  running_->setVisible(which == Case::running);
  done_->setVisible(which == Case::done);
}

void QuickCleanControl::dropConfirmButton() {
  if (!confirm_) return;
  // Later: the button may be the one whose press brought this change.
  confirm_->hide();
  confirm_->deleteLater();
  confirm_ = nullptr;
  confirmIDs_.clear();
}

void QuickCleanControl::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  refresh();
}

}  // namespace hl
