#include "views/shell/status_bar.h"

#include <QHBoxLayout>
#include <QPainter>
#include <QPainterPath>
#include <QToolButton>

#include "utilities/byte_formatting.h"
#include "utilities/relative_date.h"
#include "viewmodels/app_model.h"
#include "views/shared/elided_label.h"
#include "views/shared/palette_colors.h"
#include "views/shared/spinner.h"
#include "views/shared/symbol_icon.h"
#include "views/shared/symbol_view.h"
#include "views/shared/text.h"

namespace hl {

namespace {

constexpr int badgePadX = 6;
constexpr int badgePadY = 2;

}  // namespace

ReadOnlyBadge::ReadOnlyBadge(QWidget* parent) : QLabel(QStringLiteral("READ-ONLY"), parent) {
  setTextFormat(Qt::PlainText);
  setFont(sizedFont(font(), 10, QFont::Bold));
  setAlignment(Qt::AlignCenter);
  setSettingsCause(std::nullopt);
  setAccessibleName(text());
}

void ReadOnlyBadge::setSettingsCause(const std::optional<std::string>& cause) {
  static const std::string blocked =
      "nothing is moved to the Trash or deleted, and no prune command runs.";
  setHelp(this, cause ? "Read-only because " + *cause + ": " + blocked
                      : "Launched with -HLMReadOnly (or hosting tests): " + blocked);
}

QSize ReadOnlyBadge::sizeHint() const {
  const QFontMetrics metrics(font());
  return {metrics.horizontalAdvance(text()) + 2 * badgePadX, metrics.height() + 2 * badgePadY};
}

void ReadOnlyBadge::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  const QColor red = PaletteColors::tint(StatusTint::locked, palette());
  const QRectF box = QRectF(rect());
  QPainterPath capsule;
  capsule.addRoundedRect(box, box.height() / 2, box.height() / 2);
  painter.fillPath(capsule, PaletteColors::withOpacity(red, 0.14));
  painter.setPen(PaletteColors::textOn(red, palette(), 0.14));
  painter.setFont(font());
  painter.drawText(box, Qt::AlignCenter, text());
}

StatusBar::StatusBar(AppModel& model, WallClock clock, QWidget* parent)
    : QWidget(parent), model_(model), clock_(std::move(clock)) {
  setObjectName(QStringLiteral("statusBar"));
  setFixedHeight(barHeight);
  setFont(sizedFont(font(), 12));
  auto* row = new QHBoxLayout(this);
  row->setContentsMargins(16, 0, 16, 0);
  row->setSpacing(8);

  badge_ = new ReadOnlyBadge(this);
  row->addWidget(badge_);
  spinner_ = new Spinner(this);
  spinner_->setAccessibleName(QStringLiteral("Busy"));
  row->addWidget(spinner_);
  idle_ = new SymbolView("checkmark.circle", 14, {}, this);
  idle_->setAccessibleName(QStringLiteral("Idle"));
  row->addWidget(idle_);
  text_ = new ElidedLabel({}, Qt::ElideMiddle, this);
  makeSecondary(text_);
  // The line gives up its width before anything to its right does.
  row->addWidget(text_, 1);
  free_ = plainLabel({}, this);
  makeSecondary(free_);
  row->addWidget(free_);
  rescan_ = new QToolButton(this);
  rescan_->setText(QStringLiteral("Rescan"));
  rescan_->setIcon(symbolIcon("arrow.clockwise"));
  rescan_->setIconSize(QSize(13, 13));
  rescan_->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
  rescan_->setAutoRaise(true);
  rescan_->setToolTip(plainToolTip(QStringLiteral("Rescan (Ctrl+R)")));
  rescan_->setFocusPolicy(Qt::StrongFocus);
  connect(rescan_, &QToolButton::clicked, this, [this] { model_.rescanCurrentPage(); });
  row->addWidget(rescan_);

  CleanerViewModel& cleaner = model_.cleaner();
  ScannerViewModel& scanner = model_.scanner();
  for (auto signal : {&CleanerViewModel::isScanningChanged, &CleanerViewModel::isTrashingChanged,
                      &CleanerViewModel::verificationChanged,
                      &CleanerViewModel::lastScanDateChanged,
                      &CleanerViewModel::statusTextChanged, &CleanerViewModel::readOnlyChanged}) {
    connect(&cleaner, signal, this, &StatusBar::refresh);
  }
  for (auto signal : {&ScannerViewModel::isScanningChanged, &ScannerViewModel::isTrashingChanged,
                      &ScannerViewModel::activeRemovalModeChanged,
                      &ScannerViewModel::rootURLChanged, &ScannerViewModel::progressChanged}) {
    connect(&scanner, signal, this, &StatusBar::refresh);
  }
  for (auto signal :
       {&AppModel::pageChanged, &AppModel::isBusyChanged, &AppModel::bootVolumeChanged}) {
    connect(&model_, signal, this, &StatusBar::refresh);
  }
  ticker_.setInterval(tick);
  connect(&ticker_, &QTimer::timeout, this, &StatusBar::refresh);
  ticker_.start();
  refresh();
}

std::string StatusBar::statusText(Date now) const {
  const CleanerViewModel& cleaner = model_.cleaner();
  const ScannerViewModel& scanner = model_.scanner();
  if (model_.page() == Page::search && (scanner.isScanning() || scanner.isTrashing())) {
    return scanner.statusText();
  }
  if (cleaner.isScanning() || cleaner.isTrashing() || !cleaner.verification().isVerified()) {
    return cleaner.statusText();
  }
  const std::optional<Date> last = cleaner.lastScanDate();
  if (!last) return "Idle";
  // A date ahead of now (the clock was set back) is "just now" too.
  const bool recent = now - *last < std::chrono::seconds(60);
  return "Idle \u00b7 last scan " + (recent ? std::string("just now")
                                             : RelativeDate::fullPhrase(*last, now));
}

void StatusBar::refresh() {
  const CleanerViewModel& cleaner = model_.cleaner();
  badge_->setVisible(cleaner.isReadOnly());
  badge_->setSettingsCause(cleaner.readOnlySettingsCause());
  const bool busy = model_.isBusy();
  spinner_->setVisible(busy);
  idle_->setVisible(!busy);
  text_->setText(qtext(statusText(clock_())));
  if (const auto& volume = model_.bootVolume()) {
    free_->setText(qtext(ByteFormatting::string(volume->availableCapacity) + " free on " +
                         volume->name));
    free_->show();
  } else {
    free_->clear();
    free_->hide();
  }
  rescan_->setEnabled(!cleaner.isTrashing() && !model_.scanner().isTrashing());
  // Its tooltip names the shortcut; assistive tools also hear what it rescans on this page.
  rescan_->setAccessibleDescription(
      model_.page() != Page::search ? QStringLiteral("Rescans the caches (Ctrl+R)")
      : model_.scanner().rootURL()  ? QStringLiteral("Rescans the scanned folder (Ctrl+R)")
                                    : QStringLiteral("Asks for a folder to scan (Ctrl+R)"));
}

}  // namespace hl
