#include "views/shared/confirm_trash_sheet.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>

#include "views/shared/confirm_trash_texts.h"
#include "views/shared/destructive_button.h"
#include "views/shared/elided_label.h"
#include "views/shared/list_focus_ring.h"
#include "views/shared/palette_colors.h"
#include "views/shared/status_tag.h"
#include "views/shared/symbol_icon.h"
#include "views/shared/text.h"
#include "views/shared/window_dialog.h"

namespace hl {

namespace {

constexpr int kRowHeight = 44;

QLabel* symbolLabel(const std::string& symbol, const QColor& color, int side, QWidget* parent) {
  auto* label = new QLabel(parent);
  label->setPixmap(symbolIcon(symbol, color).pixmap(QSize(side, side), parent->devicePixelRatioF()));
  label->setFixedSize(side, side);
  return label;
}

// One message line: a symbol and wrapping text in the given colour (the default text colour when
// none).
QWidget* messageLine(const std::string& symbol, const std::string& text,
                     std::optional<QColor> color, bool medium, QWidget* parent) {
  auto* line = new QWidget(parent);
  auto* row = new QHBoxLayout(line);
  row->setContentsMargins(0, 0, 0, 0);
  row->setSpacing(6);
  const QColor symbolColor = color.value_or(parent->palette().color(QPalette::WindowText));
  row->addWidget(symbolLabel(symbol, symbolColor, 14, line), 0, Qt::AlignTop);
  auto* label = plainLabel(qtext(text), line);
  label->setWordWrap(true);
  label->setFont(sizedFont(parent->font(), 12, medium ? QFont::Medium : QFont::Normal));
  if (color) {
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, PaletteColors::textOn(*color, parent->palette()));
    label->setPalette(palette);
  }
  row->addWidget(label, 1);
  return line;
}

}  // namespace

ConfirmTrashSheet::ConfirmTrashSheet(Contents contents, MonotonicClock clock, QWidget* parent)
    : QDialog(parent),
      contents_(std::move(contents)),
      arming_(std::move(clock), [this] { updateConfirm(); }, armingDelay) {
  setWindowTitle(qtext(contents_.title));
  makeWindowDialog(*this);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(20, 20, 20, 20);
  layout->setSpacing(14);
  layout->addWidget(buildHeader());
  rows_ = buildRows();
  layout->addWidget(rows_);
  layout->addWidget(buildMessages());
  layout->addStretch(1);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  cancel_ = new QPushButton(QStringLiteral("Cancel"), this);
  // Return answers the button that has the keyboard: on Cancel it cancels, as a screen reader
  // that says "Cancel" promises; anywhere else it answers the armed confirm button.
  cancel_->setAutoDefault(true);
  padButton(cancel_, 30);
  connect(cancel_, &QPushButton::clicked, this, [this] {
    if (contents_.onCancel) contents_.onCancel();
  });
  buttons->addWidget(cancel_);

  const std::size_t rows = contents_.rows.size();
  confirm_ = new DestructiveButton(
      qtext(ConfirmTrashTexts::confirmLabel(rows, contents_.isReadOnly, contents_.isPermanent)),
      this);
  confirm_->setIcon(symbolIcon(ConfirmTrashTexts::confirmSymbol(contents_.isReadOnly)));
  confirm_->setControlSize(FilledButton::ControlSize::large);
  confirm_->setDefault(true);
  confirm_->setAccessibleName(confirm_->text());
  connect(confirm_, &QPushButton::clicked, this, &ConfirmTrashSheet::confirmPressed);
  buttons->addWidget(confirm_);
  layout->addLayout(buttons);

  // Wrapped message lines need their height at the sheet's fixed width, not at their own. The
  // height is fixed too: a sheet is never resized or maximised apart from its window.
  setFixedSize(sheetWidth, layout->hasHeightForWidth() ? layout->heightForWidth(sheetWidth)
                                                       : sizeHint().height());

  updateConfirm();
}

QWidget* ConfirmTrashSheet::buildHeader() {
  auto* header = new QWidget(this);
  header->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Maximum);
  auto* row = new QHBoxLayout(header);
  row->setContentsMargins(0, 0, 0, 0);
  row->setSpacing(12);
  const QColor symbolColor = contents_.isPermanent ? PaletteColors::red(palette())
                                                   : PaletteColors::secondaryText(palette());
  row->addWidget(symbolLabel("trash", symbolColor, 30, header));

  auto* texts = new QVBoxLayout;
  texts->setSpacing(2);
  auto* title = plainLabel(qtext(contents_.title), header);
  title->setFont(sizedFont(font(), 14, QFont::DemiBold));
  texts->addStretch(1);
  texts->addWidget(title);
  std::vector<std::optional<std::int64_t>> sizes;
  for (const Row& r : contents_.rows) sizes.push_back(r.size);
  summary_ = plainLabel(qtext(ConfirmTrashTexts::summaryLine(
                            contents_.rows.size(), contents_.totalSize,
                            ConfirmTrashTexts::isApproximate(sizes))),
                        header);
  makeSecondary(summary_);
  texts->addWidget(summary_);
  texts->addStretch(1);
  row->addLayout(texts, 1);
  return header;
}

QWidget* ConfirmTrashSheet::buildRows() {
  auto* list = new QWidget;
  list->setBackgroundRole(QPalette::Base);
  list->setAutoFillBackground(true);
  auto* column = new QVBoxLayout(list);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(0);
  for (std::size_t i = 0; i < contents_.rows.size(); ++i) {
    const Row& r = contents_.rows[i];
    auto* rowWidget = new QWidget(list);
    rowWidget->setObjectName(qtext(r.id));
    rowWidget->setAccessibleName(qtext(r.name));
    rowWidget->setFixedHeight(kRowHeight);
    auto* row = new QHBoxLayout(rowWidget);
    row->setContentsMargins(10, 4, 10, 4);
    row->setSpacing(8);

    auto* texts = new QVBoxLayout;
    texts->setSpacing(1);
    auto* top = new QHBoxLayout;
    top->setSpacing(6);
    auto* name = new ElidedLabel(qtext(r.name), Qt::ElideMiddle, rowWidget);
    name->setObjectName(QStringLiteral("name"));
    name->setFont(sizedFont(font(), 13));
    top->addWidget(name, 1);
    if (!r.tags.empty()) {
      auto* tags = new StatusTagRow(r.tags, std::nullopt, rowWidget);
      tags->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
      top->addWidget(tags, 0);
    }
    texts->addLayout(top);
    auto* detail = new ElidedLabel(qtext(r.detail), Qt::ElideMiddle, rowWidget);
    detail->setObjectName(QStringLiteral("detail"));
    detail->setFont(sizedFont(font(), 11));
    makeSecondary(detail);
    texts->addWidget(detail);
    row->addLayout(texts, 1);

    auto* size = plainLabel(qtext(ConfirmTrashTexts::rowSize(r.size)), rowWidget);
    size->setObjectName(QStringLiteral("size"));
    size->setFont(sizedFont(font(), 12));
    size->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    // Every size in one column, so the chips before it line up whatever the size reads.
    size->setFixedWidth(static_cast<int>(widestSizeText(size->font())));
    makeSecondary(size);
    row->addWidget(size);
    column->addWidget(rowWidget);

    if (i + 1 < contents_.rows.size()) {
      auto* divider = new QFrame(list);
      divider->setFrameShape(QFrame::HLine);
      divider->setFixedHeight(1);
      divider->setForegroundRole(QPalette::Mid);
      column->addWidget(divider);
    }
  }
  column->addStretch(1);

  auto* scroll = new QScrollArea(this);
  scroll->setObjectName(QStringLiteral("rows"));
  scroll->setWidget(list);
  scroll->setWidgetResizable(true);
  scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  scroll->setFrameShape(QFrame::StyledPanel);
  const int count = static_cast<int>(contents_.rows.size());
  const int content = count * kRowHeight + std::max(0, count - 1) + 2 * scroll->frameWidth();
  scroll->setFixedHeight(std::clamp(content, 160, 300));
  // The keyboard starts here, named for the rows it reads; the arrows scroll a long list. The
  // ring shows it is here: Return confirms from here, and cancels only on Cancel.
  scroll->setFocusPolicy(Qt::StrongFocus);
  scroll->setAccessibleName(QStringLiteral("Items"));
  ListFocusRing::install(scroll);
  return scroll;
}

QWidget* ConfirmTrashSheet::buildMessages() {
  auto* messages = new QWidget(this);
  auto* column = new QVBoxLayout(messages);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(4);
  const QColor red = PaletteColors::red(palette());
  for (const std::string& warning : contents_.warnings) {
    column->addWidget(messageLine("exclamationmark.triangle.fill", warning, red, true, messages));
  }
  for (const std::string& note : contents_.notes) {
    column->addWidget(messageLine("info.circle", note, std::nullopt, false, messages));
  }
  const bool permanent = contents_.isPermanent;
  column->addWidget(messageLine(
      ConfirmTrashTexts::modeSymbol(permanent), ConfirmTrashTexts::modeLine(permanent),
      permanent ? red : PaletteColors::secondaryText(palette()), permanent, messages));
  return messages;
}

QPushButton* ConfirmTrashSheet::confirmButton() const { return confirm_; }

void ConfirmTrashSheet::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (shown_) return;
  shown_ = true;
  arming_.start();
  // The keyboard starts on the list of what is removed: not on the confirm button, which is not
  // armed yet (never while read-only), and not on Cancel, where Return cancels. Return confirms
  // from the list once the button is armed.
  rows_->setFocus(Qt::ActiveWindowFocusReason);
}

void ConfirmTrashSheet::refreshArming() { arming_.refresh(); }

void ConfirmTrashSheet::setBusy(bool busy) {
  busy_ = busy;
  updateConfirm();
}

void ConfirmTrashSheet::updateConfirm() {
  confirm_->setEnabled(arming_.isArmed() && !contents_.isReadOnly && !busy_);
}

void ConfirmTrashSheet::confirmPressed() {
  if (!arming_.isArmed() || contents_.isReadOnly || busy_) return;
  if (contents_.onConfirm) contents_.onConfirm();
}

void ConfirmTrashSheet::reject() {
  if (contents_.onCancel) contents_.onCancel();
}

void ConfirmTrashSheet::dismiss() {
  arming_.stop();
  QDialog::done(QDialog::Rejected);
}

}  // namespace hl
