#include "views/shared/path_list_view.h"

#include <QFrame>
#include <QPainter>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

#include "utilities/path_canonical.h"
#include "views/shared/elided_label.h"
#include "views/shared/palette_colors.h"
#include "views/shared/placeholder_overlay.h"
#include "views/shared/symbol_view.h"
#include "views/shared/text.h"

namespace hl {
namespace {

// One row, with a hairline under it unless it is the last.
class PathRow : public QWidget {
 public:
  PathRow(bool separated, QWidget* parent) : QWidget(parent), separated_(separated) {
    setFixedHeight(PathListView::rowHeight);
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    if (!separated_) return;
    QPainter painter(this);
    painter.fillRect(QRect(12, height() - 1, width() - 12, 1), PaletteColors::primary(palette(), 0.08));
  }

 private:
  bool separated_;
};

}  // namespace

PathListView::PathListView(std::string symbol, QString buttonTitle,
                           std::function<void(const std::string&)> onButton, QWidget* parent)
    : QScrollArea(parent),
      symbol_(std::move(symbol)),
      buttonTitle_(std::move(buttonTitle)),
      onButton_(std::move(onButton)) {
  setWidgetResizable(true);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setFrameShape(QFrame::StyledPanel);
  setBackgroundRole(QPalette::Base);
  setFocusPolicy(Qt::NoFocus);
  content_ = new QWidget;
  content_->setBackgroundRole(QPalette::Base);
  layout_ = new QVBoxLayout(content_);
  layout_->setContentsMargins(0, 4, 0, 4);
  layout_->setSpacing(0);
  layout_->addStretch(1);
  setWidget(content_);
}

void PathListView::setPaths(const std::vector<std::string>& paths, const std::string& home) {
  // Keyboard users keep their place: the button at the same row takes the focus again.
  int focusedRow = -1;
  for (std::size_t i = 0; i < rows_.size(); ++i) {
    if (rows_[i].button->hasFocus()) focusedRow = static_cast<int>(i);
  }
  for (const RowWidgets& row : rows_) {
    layout_->removeWidget(row.row);
    row.row->hide();
    // Later: the press that led here may still be running in one of these buttons.
    row.row->deleteLater();
  }
  rows_.clear();
  paths_ = paths;

  for (std::size_t i = 0; i < paths_.size(); ++i) {
    const std::string& path = paths_[i];
    auto* row = new PathRow(i + 1 < paths_.size(), content_);
    auto* line = new QHBoxLayout(row);
    line->setContentsMargins(12, 0, 10, 0);
    line->setSpacing(8);
    line->addWidget(new SymbolView(symbol_, 16, {}, row));
    auto* label = new ElidedLabel(qtext(abbreviatedPath(path, home)), Qt::ElideMiddle, row);
    setHelp(label, qtext(path));
    line->addWidget(label, 1);
    auto* button = new QPushButton(buttonTitle_, row);
    padButton(button);
    button->setAccessibleDescription(qtext(path));
    connect(button, &QPushButton::clicked, this, [this, path] {
      // A copy: the handler may change the list and so replace these rows.
      const std::string stored = path;
      if (onButton_) onButton_(stored);
    });
    line->addWidget(button);
    layout_->insertWidget(static_cast<int>(i), row);
    rows_.push_back({row, label, button});
  }
  if (focusedRow >= 0 && !rows_.empty()) {
    rows_[std::min(rows_.size() - 1, static_cast<std::size_t>(focusedRow))].button->setFocus();
  }
  if (overlay_) overlay_->setShown(paths_.empty());
}

void PathListView::setPlaceholder(QWidget* placeholder) {
  overlay_ = new PlaceholderOverlay(this, placeholder);
  overlay_->setShown(paths_.empty());
}

bool PathListView::isPlaceholderShown() const { return overlay_ && overlay_->isShown(); }

QWidget* PathListView::placeholder() const { return overlay_ ? overlay_->placeholder() : nullptr; }

}  // namespace hl
