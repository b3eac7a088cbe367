#include "views/home/state_views.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>

#include "views/shared/banner_frame.h"
#include "views/shared/palette_colors.h"
#include "views/shared/symbol_icon.h"
#include "views/shared/text.h"

namespace hl {

namespace {

QLabel* symbolLabel(const char* symbol, const QColor& color, int side, QWidget* parent) {
  auto* label = new QLabel(parent);
  label->setPixmap(symbolIcon(symbol, color).pixmap(QSize(side, side), parent->devicePixelRatioF()));
  return label;
}

}  // namespace

SkeletonRows::SkeletonRows(int count, QWidget* parent) : QWidget(parent), count_(std::max(0, count)) {
  setAccessibleName(QStringLiteral("Scanning"));
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

QSize SkeletonRows::sizeHint() const {
  const int height = count_ == 0 ? 0 : count_ * rowHeight + (count_ - 1) * rowSpacing;
  return {600, height};
}

void SkeletonRows::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(Qt::NoPen);
  const QColor shape = PaletteColors::primary(palette(), 0.08);
  const QColor background = PaletteColors::primary(palette(), 0.025);
  const double width = this->width();
  for (int i = 0; i < count_; ++i) {
    const double top = i * (rowHeight + rowSpacing);
    if (top > height()) break;
    painter.setBrush(background);
    painter.drawRoundedRect(QRectF(0, top, width, rowHeight), 8, 8);
    painter.setBrush(shape);
    const double middle = top + rowHeight / 2.0;
    double x = 12;
    painter.drawRoundedRect(QRectF(x, middle - 8, 16, 16), 4, 4);
    x += 16 + 12;
    // Two text bars, 6 apart, centred together.
    const double stack = 12 + 6 + 9;
    painter.drawRoundedRect(QRectF(x, middle - stack / 2, firstBarWidth(i), 12), 6, 6);
    painter.drawRoundedRect(QRectF(x, middle - stack / 2 + 18, secondBarWidth(i), 9), 4.5, 4.5);
    // Size text and size bar at the trailing edge.
    double right = width - 12;
    painter.drawRoundedRect(QRectF(right - 56, middle - 6, 56, 12), 6, 6);
    right -= 56 + 12;
    painter.drawRoundedRect(QRectF(right - 80, middle - 4, 80, 8), 4, 4);
  }
}

UnavailableBanner::UnavailableBanner(std::function<void()> retry, QWidget* parent)
    : QWidget(parent) {
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  auto* banner = new BannerFrame(&PaletteColors::yellow, 0.14, this);
  banner->row()->setSpacing(12);
  banner->row()->addWidget(
      symbolLabel("exclamationmark.triangle.fill", PaletteColors::yellow(palette()), 16, banner));
  auto* text = plainLabel(
      QStringLiteral("Can't verify what's in use \u2014 nothing is selectable."), banner);
  text->setWordWrap(true);
  banner->row()->addWidget(text, 1);
  banner->row()->addSpacing(8);
  retry_ = new QPushButton(QStringLiteral("Retry"), banner);
  padButton(retry_);
  connect(retry_, &QPushButton::clicked, this, [retry = std::move(retry)] {
    if (retry) retry();
  });
  banner->row()->addWidget(retry_);
  layout->addWidget(banner);
}

LiveNowStrip::LiveNowStrip(const LiveSummary& summary, QWidget* parent) : QWidget(parent) {
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  auto* banner = new BannerFrame(&PaletteColors::orange, 0.10, this);
  banner->row()->setSpacing(18);

  auto* title = new QWidget(banner);
  auto* titleRow = new QHBoxLayout(title);
  titleRow->setContentsMargins(0, 0, 0, 0);
  titleRow->setSpacing(5);
  titleRow->addWidget(
      symbolLabel("dot.radiowaves.left.and.right", palette().color(QPalette::WindowText), 14, title));
  auto* live = plainLabel(QStringLiteral("Live now"), title);
  live->setFont(sizedFont(banner->font(), 12, QFont::Medium));
  titleRow->addWidget(live);
  banner->row()->addWidget(title);

  for (int i = 0; i < 4; ++i) {
    auto* metric = new QWidget(banner);
    auto* row = new QHBoxLayout(metric);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(4);
    auto* count = plainLabel({}, metric);
    count->setFont(sizedFont(banner->font(), 12, QFont::DemiBold));
    auto* label = plainLabel({}, metric);
    label->setFont(sizedFont(banner->font(), 12));
    makeSecondary(label);
    row->addWidget(count);
    row->addWidget(label);
    banner->row()->addWidget(metric);
    labels_.emplace_back(count, label);
  }
  banner->row()->addStretch(1);
  layout->addWidget(banner);
  setSummary(summary);
}

std::vector<std::pair<QString, QString>> LiveNowStrip::metrics(const LiveSummary& summary) {
  const auto plural = [](int count, const char* singular, const char* suffix) {
    return QString::fromUtf8(singular) + (count == 1 ? QString() : QString::fromUtf8(suffix));
  };
  return {
      {QString::number(summary.claudeProcesses),
       plural(summary.claudeProcesses, "Claude Code process", "es")},
      {QString::number(summary.codexProcesses), plural(summary.codexProcesses, "Codex process", "es")},
      {QString::number(summary.worktreesInUse),
       plural(summary.worktreesInUse, "worktree", "s") + QStringLiteral(" in use")},
      {QString::number(summary.keptByClaudeApp), QStringLiteral("kept by the Claude app")},
  };
}

void LiveNowStrip::setSummary(const LiveSummary& summary) {
  const auto texts = metrics(summary);
  for (std::size_t i = 0; i < labels_.size(); ++i) {
    labels_[i].first->setText(texts[i].first);
    labels_[i].second->setText(texts[i].second);
  }
}

std::vector<std::pair<QString, QString>> LiveNowStrip::shownMetrics() const {
  std::vector<std::pair<QString, QString>> result;
  for (const auto& [count, label] : labels_) result.emplace_back(count->text(), label->text());
  return result;
}

}  // namespace hl
