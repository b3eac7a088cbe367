#include "views/shared/segmented_control.h"

#include <QButtonGroup>
#include <QHBoxLayout>
#include <QPainter>
#include <QStyleOptionToolButton>
#include <QToolButton>

#include "views/shared/accessibility.h"
#include "views/shared/palette_colors.h"

namespace hl {

namespace {

// One segment: its text on a clear ground, or on a raised face while chosen; a focus ring when
// the keyboard is on it. Assistive tools read it as a page tab, selected while chosen.
class Segment : public QToolButton {
 public:
  Segment(const QString& text, SegmentedControl::Size size, QWidget* parent)
      : QToolButton(parent), size_(size) {
    Accessibility::declare(this, Accessibility::Kind::tab);
    connect(this, &QAbstractButton::toggled, this,
            [this](bool on) { Accessibility::setSelected(this, on); });
    setText(text);
    setCheckable(true);
    setAutoRaise(true);
    setFocusPolicy(Qt::StrongFocus);
    setToolButtonStyle(Qt::ToolButtonTextOnly);
    setFont(sizedFont(font(), size == SegmentedControl::Size::small ? 11 : 12,
                      QFont::Medium));
    setAccessibleName(text);
  }

  QSize sizeHint() const override {
    const QFontMetrics metrics(font());
    const int padding = size_ == SegmentedControl::Size::small ? 10 : 14;
    const int height = size_ == SegmentedControl::Size::small ? 20 : 24;
    return {metrics.horizontalAdvance(text()) + 2 * padding, height};
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF face = QRectF(rect()).adjusted(2, 2, -2, -2);
    if (isChecked()) {
      painter.setPen(QPen(PaletteColors::primary(palette(), 0.12), 1));
      painter.setBrush(palette().color(QPalette::Base));
      painter.drawRoundedRect(face, 5, 5);
    } else if (underMouse() && isEnabled()) {
      painter.setPen(Qt::NoPen);
      painter.setBrush(PaletteColors::primary(palette(), 0.05));
      painter.drawRoundedRect(face, 5, 5);
    }
    if (hasFocus()) {
      painter.setPen(QPen(PaletteColors::focusRing(palette()), 1.5));
      painter.setBrush(Qt::NoBrush);
      painter.drawRoundedRect(QRectF(rect()).adjusted(1, 1, -1, -1), 6, 6);
    }
    QColor text = palette().color(QPalette::WindowText);
    if (!isChecked()) text = PaletteColors::secondaryText(palette());
    if (!isEnabled()) text = PaletteColors::tertiaryText(palette());
    painter.setPen(text);
    painter.setFont(font());
    painter.drawText(rect(), Qt::AlignCenter | Qt::TextSingleLine, this->text());
  }

 private:
  SegmentedControl::Size size_;
};

}  // namespace

SegmentedControl::SegmentedControl(const QString& label, const QStringList& segments, Size size,
                                   QWidget* parent)
    : QWidget(parent), group_(new QButtonGroup(this)), size_(size) {
  Accessibility::declare(this, Accessibility::Kind::tabList);
  setAccessibleName(label);
  setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
  auto* row = new QHBoxLayout(this);
  row->setContentsMargins(2, 2, 2, 2);
  row->setSpacing(0);
  group_->setExclusive(true);
  for (int i = 0; i < segments.size(); ++i) {
    auto* button = new Segment(segments[i], size, this);
    group_->addButton(button, i);
    row->addWidget(button);
  }
  if (!segments.isEmpty()) group_->button(0)->setChecked(true);
  connect(group_, &QButtonGroup::idClicked, this, &SegmentedControl::chosen);
}

int SegmentedControl::currentIndex() const { return group_->checkedId(); }

void SegmentedControl::setCurrentIndex(int index) {
  if (QAbstractButton* button = group_->button(index)) button->setChecked(true);
}

QToolButton* SegmentedControl::segment(int index) const {
  return static_cast<QToolButton*>(group_->button(index));
}

int SegmentedControl::count() const { return static_cast<int>(group_->buttons().size()); }

QSize SegmentedControl::sizeHint() const {
  int width = 4;
  int height = 0;
  for (QAbstractButton* button : group_->buttons()) {
    width += button->sizeHint().width();
    height = std::max(height, button->sizeHint().height());
  }
  return {width, height + 4};
}

void SegmentedControl::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(Qt::NoPen);
  painter.setBrush(PaletteColors::primary(palette(), 0.07));
  painter.drawRoundedRect(QRectF(rect()), 7, 7);
}

}  // namespace hl
