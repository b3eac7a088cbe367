#include "views/shared/empty_state_view.h"

#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

#include "views/shared/destructive_button.h"
#include "views/shared/palette_colors.h"
#include "views/shared/symbol_icon.h"
#include "views/shared/text.h"

namespace hl {

namespace {

// The symbol at 28 on a 64 × 64 circle of the accent colour at 12 %.
class SymbolDisc : public QWidget {
 public:
  SymbolDisc(std::string symbol, QWidget* parent) : QWidget(parent), symbol_(std::move(symbol)) {
    setFixedSize(64, 64);
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QColor accent = PaletteColors::accent(palette());
    painter.setPen(Qt::NoPen);
    painter.setBrush(PaletteColors::withOpacity(accent, 0.12));
    painter.drawEllipse(QRectF(0, 0, 64, 64));
    symbolIcon(symbol_, accent).paint(&painter, QRect(18, 18, 28, 28));
  }

 private:
  std::string symbol_;
};

}  // namespace

EmptyStateView::EmptyStateView(std::string symbol, const QString& title, const QString& message,
                               std::optional<Button> button, QWidget* parent)
    : QWidget(parent), symbol_(std::move(symbol)) {
  auto* outer = new QVBoxLayout(this);
  outer->addStretch(1);
  auto* column = new QWidget(this);
  column->setMaximumWidth(360);
  auto* layout = new QVBoxLayout(column);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);

  auto* disc = new SymbolDisc(symbol_, column);
  layout->addWidget(disc, 0, Qt::AlignHCenter);

  layout->addSpacing(16);
  title_ = plainLabel(title, column);
  title_->setFont(sizedFont(font(), 17, QFont::DemiBold));
  title_->setAlignment(Qt::AlignHCenter);
  layout->addWidget(title_);

  if (!message.isEmpty()) {
    layout->addSpacing(6);
    message_ = plainLabel(message, column);
    message_->setFont(sizedFont(font(), 13));
    message_->setWordWrap(true);
    message_->setAlignment(Qt::AlignHCenter);
    message_->setMaximumHeight(QFontMetrics(message_->font()).lineSpacing() * 2 + 2);
    makeSecondary(message_);
    layout->addWidget(message_);
  }

  if (button) {
    layout->addSpacing(20);
    if (button->style == ButtonStyle::prominent) {
      auto* prominent = new ProminentButton(button->title, column);
      prominent->setControlSize(FilledButton::ControlSize::large);
      button_ = prominent;
    } else {
      button_ = new QPushButton(button->title, column);
      button_->setFont(sizedFont(font(), 13));
      padButton(button_, 30);
    }
    connect(button_, &QPushButton::clicked, this, [action = button->action] {
      if (action) action();
    });
    layout->addWidget(button_, 0, Qt::AlignHCenter);
  }

  setAccessibleName(title);
  outer->addWidget(column, 0, Qt::AlignHCenter);
  outer->addStretch(1);
}

EmptyStateView* EmptyStateView::make(Kind kind, std::function<void()> action, QWidget* parent) {
  if (kind == Kind::nothingFound) {
    return new EmptyStateView("checkmark", QStringLiteral("Nothing to clean here"),
                              QStringLiteral("This computer has no matching caches, or "
                                             "they're excluded."),
                              Button{QStringLiteral("Rescan"), ButtonStyle::bordered, std::move(action)},
                              parent);
  }
  return new EmptyStateView("internaldrive", QStringLiteral("Not scanned yet"),
                            QStringLiteral("Scan to find caches, build output and stale worktrees."),
                            Button{QStringLiteral("Scan now"), ButtonStyle::prominent, std::move(action)},
                            parent);
}

}  // namespace hl
