#include "views/menubar/menu_bar_popover.h"

#include <QEvent>
#include <QFrame>
#include <QPainter>
#include <QVBoxLayout>

#include "viewmodels/app_model.h"
#include "viewmodels/updater_box.h"
#include "views/menubar/popover_buttons.h"
#include "views/menubar/popover_parts.h"
#include "views/menubar/quick_clean_control.h"
#include "views/shared/palette_colors.h"

namespace hl {

namespace {

constexpr int kPadding = 14;
constexpr int kSpacing = 12;

QFrame* divider(QWidget* parent) {
  auto* line = new QFrame(parent);
  line->setFrameShape(QFrame::HLine);
  line->setFrameShadow(QFrame::Plain);
  line->setFixedHeight(1);
  line->setForegroundRole(QPalette::Mid);
  return line;
}

}  // namespace

MenuBarPopover::MenuBarPopover(AppModel& model, Environment environment, QWidget* parent)
    : QWidget(parent), model_(model) {
  setObjectName(QStringLiteral("menuBarPopover"));
  setAccessibleName(QStringLiteral("Harbor Lume"));
  setFixedWidth(popoverWidth);
  setAutoFillBackground(false);
  UpdaterBox& updater = environment.updater ? *environment.updater : Updater::box();
  if (!environment.clock) environment.clock = continuousClock();
  if (!environment.now) environment.now = systemWallClock();

  // The header's highlight reaches past its label: its row stands that much further out.
  auto* outer = new QVBoxLayout(this);
  outer->setSizeConstraint(QLayout::SetNoConstraint);
  outer->setContentsMargins(kPadding - PopoverHeaderButton::horizontalBleed,
                            kPadding - PopoverHeaderButton::verticalBleed,
                            kPadding - PopoverHeaderButton::horizontalBleed, kPadding);
  outer->setSpacing(0);
  header_ = new PopoverHeader(
      [this, open = std::move(environment.openMainWindow)] {
        if (open) open();
        if (isWindow()) hide();
      },
      this);
  outer->addWidget(header_);

  auto* body = new QVBoxLayout;
  body->setContentsMargins(PopoverHeaderButton::horizontalBleed,
                           kSpacing - PopoverHeaderButton::verticalBleed,
                           PopoverHeaderButton::horizontalBleed, 0);
  body->setSpacing(kSpacing);
  volume_ = new VolumeBlock(this);
  body->addWidget(volume_);
  body->addWidget(divider(this));
  CleanerViewModel& cleaner = model_.cleaner();
  candidates_ = new CandidatesBlock(cleaner, this);
  body->addWidget(candidates_);
  quickClean_ = new QuickCleanControl(cleaner, environment.clock, environment.now, this);
  body->addWidget(quickClean_);
  body->addWidget(divider(this));
  footer_ = new PopoverFooter(cleaner, updater,
                              {[this] { model_.refreshVolume(); }, std::move(environment.quit)},
                              this);
  body->addWidget(footer_);
  outer->addLayout(body);

  header_->setBusy(model_.isBusy());
  volume_->setVolume(model_.bootVolume());
  connect(&model_, &AppModel::isBusyChanged, this, [this] { header_->setBusy(model_.isBusy()); });
  connect(&model_, &AppModel::bootVolumeChanged, this,
          [this] { volume_->setVolume(model_.bootVolume()); });
  fitHeight();
}

int MenuBarPopover::heightForWidth(int width) const {
  QLayout* column = layout();
  return column->hasHeightForWidth() ? column->totalHeightForWidth(width)
                                     : column->totalSizeHint().height();
}

QSize MenuBarPopover::sizeHint() const { return {popoverWidth, heightForWidth(popoverWidth)}; }

bool MenuBarPopover::event(QEvent* event) {
  const bool handled = QWidget::event(event);
  if (event->type() == QEvent::LayoutRequest) fitHeight();
  return handled;
}

void MenuBarPopover::fitHeight() {
  const int height = heightForWidth(popoverWidth);
  if (height > 0 && height != this->height()) resize(popoverWidth, height);
}

void MenuBarPopover::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  // The keyboard starts on the Quick Clean control (its button, or "OK"); Escape closes.
  if (!focusWidget() || !focusWidget()->isVisible()) focusNextChild();
}

void MenuBarPopover::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const QPalette& pal = palette();
  painter.fillRect(rect(), pal.color(QPalette::Window));
  painter.setPen(PaletteColors::primary(pal, 0.18));
  painter.drawRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5));
}

}  // namespace hl
