#include "views/home/items_table_header.h"

#include <QLabel>
#include <QPainter>

#include "views/home/item_row_texts.h"
#include "views/shared/palette_colors.h"
#include "views/shared/text.h"

namespace hl {

namespace {

constexpr int kBottomPadding = 8;

QLabel* columnTitle(const char* title, QWidget* parent) {
  // Shown in capitals, announced as written.
  auto* label = plainLabel(QString::fromUtf8(title).toUpper(), parent);
  label->setAccessibleName(QString::fromUtf8(title));
  label->setFont(sizedFont(parent->font(), 11, QFont::DemiBold));
  makeSecondary(label);
  return label;
}

}  // namespace

BulkCheckBox::BulkCheckBox(QWidget* parent) : CheckBox({}, parent) {
  setTristate(true);
  setFocusPolicy(Qt::StrongFocus);
}

Qt::CheckState BulkCheckBox::controlState(BulkCheckState state) {
  switch (state) {
    case BulkCheckState::none: return Qt::Unchecked;
    case BulkCheckState::mixed: return Qt::PartiallyChecked;
    case BulkCheckState::all: return Qt::Checked;
  }
  return Qt::Unchecked;
}

void BulkCheckBox::setBulkState(BulkCheckState state) {
  const QSignalBlocker blocker(this);
  setCheckState(controlState(state));
}

void BulkCheckBox::nextCheckState() {
  // The action decides the new state; whatever Qt would step to is replaced.
  if (action_) setBulkState(action_());
}

ItemsTableHeader::ItemsTableHeader(QWidget* parent) : QWidget(parent) {
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
  checkBox_ = new BulkCheckBox(this);
  checkBox_->setAccessibleName(QString::fromUtf8(ItemRowTexts::selectAllLabel));
  checkBox_->setToolTip(plainToolTip(std::string_view(ItemRowTexts::selectAllHelp)));
  name_ = columnTitle(ItemRowTexts::nameTitle, this);
  status_ = columnTitle(ItemRowTexts::statusTitle, this);
  size_ = columnTitle(ItemRowTexts::sizeTitle, this);
  size_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  modified_ = columnTitle(ItemRowTexts::modifiedTitle, this);
  setColumnLayout(ColumnLayout(0));
}

int ItemsTableHeader::rowHeight() const {
  return std::max(checkBox_->sizeHint().height(), name_->sizeHint().height());
}

QSize ItemsTableHeader::sizeHint() const {
  return {static_cast<int>(layout_.width), rowHeight() + kBottomPadding + 1};
}

QSize ItemsTableHeader::minimumSizeHint() const { return {0, sizeHint().height()}; }

void ItemsTableHeader::setColumnLayout(const ColumnLayout& layout) {
  layout_ = layout;
  modified_->setVisible(layout.showModified);
  place();
  updateGeometry();
}

void ItemsTableHeader::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  place();
}

void ItemsTableHeader::place() {
  const int height = rowHeight();
  const auto cell = [&](QWidget* widget, double x, double width) {
    widget->setGeometry(static_cast<int>(x), 0, std::max(0, static_cast<int>(width)), height);
  };
  double x = ColumnLayout::sidePadding;
  const QSize box = checkBox_->sizeHint();
  checkBox_->setGeometry(static_cast<int>(x + (ColumnLayout::leadingColumn - box.width()) / 2),
                         (height - box.height()) / 2, box.width(), box.height());
  x += ColumnLayout::leadingColumn + ColumnLayout::spacing;
  cell(name_, x, layout_.name);
  x += layout_.name + ColumnLayout::spacing;
  cell(status_, x, layout_.status);
  x += layout_.status + ColumnLayout::spacing;
  cell(size_, x, layout_.sizeColumn());
  x += layout_.sizeColumn() + ColumnLayout::spacing;
  cell(modified_, x, ColumnLayout::modifiedColumn);
}

void ItemsTableHeader::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(QRect(0, height() - 1, width(), 1), PaletteColors::primary(palette(), 0.08));
}

}  // namespace hl
