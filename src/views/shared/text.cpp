#include "views/shared/text.h"

#include <QEvent>
#include <QFontMetricsF>
#include <QTextDocument>
#include <algorithm>
#include <cmath>

namespace hl {

QString plainToolTip(std::string_view text) { return plainToolTip(qtext(text)); }

QString plainToolTip(const QString& text) {
  if (text.isEmpty()) return {};
  return Qt::convertFromPlainText(text, Qt::WhiteSpaceNormal);
}

QLabel* plainLabel(const QString& text, QWidget* parent) {
  auto* label = new QLabel(parent);
  label->setTextFormat(Qt::PlainText);
  label->setText(text);
  return label;
}

void makeSecondary(QLabel* label) { label->setForegroundRole(QPalette::PlaceholderText); }

namespace {

// Keeps a label's text colour computed from its palette.
class TextTint : public QObject {
 public:
  TextTint(QLabel* label, std::function<QColor(const QPalette&)> tint)
      : QObject(label), label_(label), tint_(std::move(tint)) {
    setObjectName(QStringLiteral("hl-text-tint"));
    label_->installEventFilter(this);
  }

  void setTint(std::function<QColor(const QPalette&)> tint) {
    tint_ = std::move(tint);
    apply();
  }

  void apply() {
    applying_ = true;
    label_->setForegroundRole(QPalette::WindowText);
    QPalette palette = label_->palette();
    const QColor color = tint_(palette);
    palette.setColor(QPalette::WindowText, color);
    palette.setColor(QPalette::Text, color);
    label_->setPalette(palette);
    applying_ = false;
  }

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::PaletteChange && !applying_) apply();
    return false;
  }

 private:
  QLabel* label_;
  std::function<QColor(const QPalette&)> tint_;
  bool applying_ = false;
};

}  // namespace

void setTextTint(QLabel* label, std::function<QColor(const QPalette&)> tint) {
  auto* existing = dynamic_cast<TextTint*>(
      label->findChild<QObject*>(QStringLiteral("hl-text-tint"), Qt::FindDirectChildrenOnly));
  if (existing) {
    existing->setTint(std::move(tint));
    return;
  }
  (new TextTint(label, std::move(tint)))->apply();
}

void padButton(QAbstractButton* button, int minimumHeight) {
  const QFontMetrics metrics(button->font());
  int width = metrics.horizontalAdvance(button->text()) + 28;
  if (!button->icon().isNull()) width += button->iconSize().width() + 6;
  button->setMinimumSize(width, minimumHeight);
}

double widestSizeText(const QFont& font) {
  const QFontMetricsF metrics(font);
  QChar widest = QLatin1Char('0');
  for (char digit = '1'; digit <= '9'; ++digit) {
    if (metrics.horizontalAdvance(QLatin1Char(digit)) > metrics.horizontalAdvance(widest)) {
      widest = QLatin1Char(digit);
    }
  }
  const auto digits = [&](int count) { return QString(count, widest); };
  // The formatter's longest figure of each unit: three places, then no, one or two decimals.
  const QString approximate = QStringLiteral("\u2248 ");
  QStringList texts = {approximate + digits(3) + QStringLiteral(" bytes"),
                       approximate + digits(3) + QStringLiteral(" KB"),
                       approximate + digits(3) + QLatin1Char('.') + digits(1) +
                           QStringLiteral(" MB"),
                       QStringLiteral("No access")};
  for (const char* unit : {" GB", " TB", " PB", " EB"}) {
    texts.append(approximate + digits(3) + QLatin1Char('.') + digits(2) + QLatin1String(unit));
  }
  double width = 0;
  for (const QString& text : texts) width = std::max(width, metrics.horizontalAdvance(text));
  return std::ceil(width);
}

}  // namespace hl
