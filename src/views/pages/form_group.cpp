#include "views/pages/form_group.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QVBoxLayout>

#include "views/shared/check_box.h"
#include "views/shared/palette_colors.h"
#include "views/shared/text.h"

namespace hl {
namespace {

constexpr int kCaptionPixels = 11;

// The box: a faintly filled rounded rectangle with a faint outline, a hairline above every
// cell but the first.
class FormBox : public QFrame {
 public:
  using QFrame::QFrame;

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath shape;
    shape.addRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 8, 8);
    // A faint fill over whatever the page is drawn on, in light and dark alike.
    painter.fillPath(shape, PaletteColors::primary(palette(), 0.035));
    painter.setPen(QPen(PaletteColors::primary(palette(), 0.10), 1));
    painter.drawPath(shape);
    painter.setRenderHint(QPainter::Antialiasing, false);
    bool first = true;
    for (QObject* child : children()) {
      auto* cell = qobject_cast<QWidget*>(child);
      if (!cell || cell->isHidden()) continue;
      if (!first) {
        painter.fillRect(QRect(12, cell->y(), width() - 24, 1),
                         PaletteColors::primary(palette(), 0.08));
      }
      first = false;
    }
  }
};

// A label that toggles its check box when clicked, as a control's own text does.
class ToggleText : public QLabel {
 public:
  ToggleText(QCheckBox* box, QWidget* parent) : QLabel(parent), box_(box) {}

 protected:
  void mouseReleaseEvent(QMouseEvent* event) override {
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()) &&
        box_->isEnabled()) {
      box_->click();
    }
    QLabel::mouseReleaseEvent(event);
  }

 private:
  QCheckBox* box_;
};

}  // namespace

QLabel* formNote(const QString& text, QWidget* parent) {
  QLabel* note = plainLabel(text, parent);
  note->setFont(sizedFont(note->font(), kCaptionPixels));
  note->setWordWrap(true);
  makeSecondary(note);
  return note;
}

FormGroup::FormGroup(const QString& title, QWidget* parent) : QWidget(parent) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(6);
  if (!title.isEmpty()) {
    title_ = plainLabel(title, this);
    title_->setFont(sizedFont(font(), 13, QFont::DemiBold));
    title_->setContentsMargins(4, 0, 0, 0);
    layout->addWidget(title_);
  }
  box_ = new FormBox(this);
  rows_ = new QVBoxLayout(box_);
  rows_->setContentsMargins(0, 0, 0, 0);
  rows_->setSpacing(0);
  layout->addWidget(box_);
  if (title_) box_->setAccessibleName(title);
}

QWidget* FormGroup::newCell() {
  auto* cell = new QWidget(box_);
  auto* column = new QVBoxLayout(cell);
  column->setContentsMargins(12, 9, 12, 9);
  column->setSpacing(3);
  rows_->addWidget(cell);
  lastCell_ = cell;
  return cell;
}

QCheckBox* FormGroup::addToggle(const QString& text, const QString& richText) {
  QWidget* cell = newCell();
  auto* line = new QHBoxLayout;
  line->setSpacing(12);
  auto* box = new CheckBox({}, cell);
  box->setAccessibleName(text);
  auto* label = new ToggleText(box, cell);
  if (richText.isEmpty()) {
    label->setTextFormat(Qt::PlainText);
    label->setText(text);
  } else {
    label->setTextFormat(Qt::RichText);
    label->setText(richText);
  }
  label->setWordWrap(true);
  label->setBuddy(box);
  line->addWidget(label, 1);
  line->addWidget(box, 0, Qt::AlignRight | Qt::AlignVCenter);
  static_cast<QVBoxLayout*>(cell->layout())->addLayout(line);
  return box;
}

QLabel* FormGroup::addNote(const QString& text) {
  if (!lastCell_) newCell();
  QLabel* note = formNote(text, lastCell_);
  lastCell_->layout()->addWidget(note);
  return note;
}

QLabel* FormGroup::addValue(const QString& label, const QString& value) {
  QLabel* shown = plainLabel(value);
  shown->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  addValue(label, shown);
  return shown;
}

void FormGroup::addValue(const QString& label, QWidget* value) {
  QWidget* cell = newCell();
  auto* line = new QHBoxLayout;
  line->setSpacing(12);
  line->addWidget(plainLabel(label, cell));
  value->setParent(cell);
  value->setAccessibleDescription(label);
  line->addWidget(value, 1);
  static_cast<QVBoxLayout*>(cell->layout())->addLayout(line);
}

void FormGroup::addRow(QWidget* row) {
  QWidget* cell = newCell();
  row->setParent(cell);
  cell->layout()->addWidget(row);
}

QPushButton* FormGroup::addButton(const QString& title) {
  auto* row = new QWidget;
  auto* line = new QHBoxLayout(row);
  line->setContentsMargins(0, 0, 0, 0);
  auto* button = new QPushButton(title, row);
  padButton(button);
  line->addWidget(button);
  line->addStretch(1);
  addRow(row);
  return button;
}

void FormGroup::addToLastRow(QWidget* widget) {
  if (!lastCell_) newCell();
  widget->setParent(lastCell_);
  lastCell_->layout()->addWidget(widget);
}

}  // namespace hl
