#include "views/pages/scanner/file_tree_row.h"

#include <QFontMetrics>
#include <QPainter>
#include <algorithm>
#include <cmath>

#include "utilities/byte_formatting.h"
#include "views/pages/scanner/scanner_texts.h"
#include "views/shared/palette_colors.h"
#include "views/shared/size_bar.h"
#include "views/shared/status_grammar.h"
#include "views/shared/status_tag.h"
#include "views/shared/symbol_icon.h"
#include "views/shared/text.h"

namespace hl {

FileTreeRow::FileTreeRow(const FileNode& node, std::optional<std::string> refusal)
    : node_(&node), refusal_(std::move(refusal)) {
  if (refusal_) tags_ = StatusGrammar::tags(std::string_view(*refusal_));
}

std::string_view FileTreeRow::symbol(const FileNode& node) {
  if (node.isSymbolicLink()) return "arrow.turn.up.right";
  return node.isDirectory() ? "folder" : "doc";
}

std::optional<QString> FileTreeRow::fileCountText(const FileNode& node) {
  if (!node.isDirectory()) return std::nullopt;
  return ScannerTexts::grouped(node.fileCount()) + QStringLiteral(" files");
}

QString FileTreeRow::name() const {
  // One line: a line break in a name shows as a space.
  QString text = qtext(node_->name());
  text.replace(QLatin1Char('\n'), QLatin1Char(' '));
  return text;
}

QString FileTreeRow::sizeText() const { return qtext(ByteFormatting::string(node_->size())); }

QString FileTreeRow::help() const { return qtext(node_->id()); }

QString FileTreeRow::accessibleText() const {
  QString text = name() + QStringLiteral(", ") + sizeText();
  if (const auto count = fileCountText(*node_)) text += QStringLiteral(", ") + *count;
  if (refusal_) text += QStringLiteral(", ") + qtext(*refusal_);
  return text;
}

QFont FileTreeRow::nameFont(const QFont& base) { return sizedFont(base, 13); }
QFont FileTreeRow::captionFont(const QFont& base) { return sizedFont(base, 11); }
QFont FileTreeRow::sizeFont(const QFont& base) { return sizedFont(base, 12); }

FileTreeRow::Geometry FileTreeRow::layout(const QRect& rect, const QFont& base) const {
  Geometry g;
  const QRect inner = rect.adjusted(2, 0, -8, 0);
  const int middle = inner.center().y();

  // From the trailing edge: the size, the bar, the file count; every row keeps the same columns.
  g.size = QRect(inner.right() - sizeWidth + 1, inner.top(), sizeWidth, inner.height());
  g.bar = QRect(g.size.left() - spacing - barWidth, middle - barHeight / 2, barWidth, barHeight);
  int trailing = g.bar.left();
  if (const auto count = fileCountText(*node_)) {
    const int width = QFontMetrics(captionFont(base)).horizontalAdvance(*count);
    g.fileCount = QRect(trailing - spacing - width, inner.top(), width, inner.height());
    trailing = g.fileCount->left();
  }
  // The flexible space before the trailing columns is at least `spacing` long.
  const int end = trailing - spacing;

  g.icon = QRect(inner.left(), middle - iconWidth / 2, iconWidth, iconWidth);
  const int nameLeft = g.icon.right() + 1 + spacing;
  const int available = std::max(0, end - nameLeft);
  const QFontMetricsF nameMetrics(nameFont(base));
  const QString fullName = name();
  const int natural = static_cast<int>(std::ceil(nameMetrics.horizontalAdvance(fullName)));

  int chipsWidth = 0;
  if (!tags_.empty()) {
    const int room = available - spacing - std::min(natural, nameReserve);
    const int full = StatusTagRow::rowWidth(tags_, base);
    g.fullChips = full <= room;
    g.chips = g.fullChips ? tags_ : StatusTagRow::defaultCompact(tags_);
    chipsWidth = StatusTagRow::rowWidth(g.chips, base);
  }
  const int nameWidth =
      std::max(0, std::min(natural, available - (g.chips.empty() ? 0 : spacing + chipsWidth)));
  g.name = QRect(nameLeft, inner.top(), nameWidth, inner.height());
  g.shownName = nameMetrics.elidedText(fullName, Qt::ElideMiddle, nameWidth);

  int x = g.name.right() + 1 + spacing;
  g.chipArea = QRect(x, inner.top(), std::max(0, end - x), inner.height());
  const int chipTop = middle - StatusTag::chipHeight / 2;
  for (const StatusTagModel& chip : g.chips) {
    const int width = StatusTag::sizeFor(chip, base).width();
    g.chipRects.emplace_back(x, chipTop, width, StatusTag::chipHeight);
    x += width + StatusTagRow::spacing;
  }
  return g;
}

void FileTreeRow::paint(QPainter& painter, const QRect& rect, const QPalette& palette,
                        const QFont& base, bool selected) const {
  const Geometry g = layout(rect, base);
  painter.save();
  painter.setClipRect(rect);
  const QColor primary = palette.color(selected ? QPalette::HighlightedText : QPalette::Text);
  const QColor secondary = selected ? primary : PaletteColors::secondaryText(palette);

  symbolIcon(symbol(*node_), secondary).paint(&painter, g.icon);

  painter.setFont(nameFont(base));
  painter.setPen(primary);
  painter.drawText(g.name, Qt::AlignVCenter | Qt::AlignLeft | Qt::TextSingleLine, g.shownName);

  painter.save();
  painter.setClipRect(g.chipArea, Qt::IntersectClip);
  for (std::size_t i = 0; i < g.chips.size(); ++i) {
    if (selected) {
      // A chip keeps its own colours on the selection's: it sits on the list's background.
      painter.save();
      painter.setRenderHint(QPainter::Antialiasing);
      painter.setPen(Qt::NoPen);
      painter.setBrush(palette.color(QPalette::Base));
      const QRectF capsule = QRectF(g.chipRects[i]).adjusted(0.5, 0.5, -0.5, -0.5);
      painter.drawRoundedRect(capsule, capsule.height() / 2, capsule.height() / 2);
      painter.restore();
    }
    StatusTag::paint(painter, g.chipRects[i], g.chips[i], palette, base);
  }
  painter.restore();

  if (g.fileCount) {
    painter.setFont(captionFont(base));
    painter.setPen(secondary);
    painter.drawText(*g.fileCount, Qt::AlignVCenter | Qt::AlignRight | Qt::TextSingleLine,
                     *fileCountText(*node_));
  }

  const QColor fill = selected ? primary : PaletteColors::accent(palette);
  SizeBar::paint(painter, g.bar, node_->shareOfParent(), fill, palette);

  painter.setFont(sizeFont(base));
  painter.setPen(primary);
  painter.drawText(g.size, Qt::AlignVCenter | Qt::AlignRight | Qt::TextSingleLine, sizeText());
  painter.restore();
}

QString FileTreeRow::helpAt(const QPoint& point, const QRect& rect, const QFont& base) const {
  const Geometry g = layout(rect, base);
  for (std::size_t i = 0; i < g.chips.size(); ++i) {
    if (g.chipRects[i].contains(point)) return qtext(g.chips[i].help);
  }
  return help();
}

}  // namespace hl
