#include "views/shared/path_list_view.h"

#include <algorithm>

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
  explicit PathRow(QWidget* parent) : QWidget(parent) { setFixedHeight(PathListView::rowHeight); }

  void setSeparated(bool separated) {
    if (separated == separated_) return;
    separated_ = separated;
    update();
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    if (!separated_) return;
    QPainter painter(this);
    painter.fillRect(QRect(12, height() - 1, width() - 12, 1), PaletteColors::primary(palette(), 0.08));
  }

 private:
  bool separated_ = false;
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
  paths_ = paths;
  // The rows stay and take the new paths in order, so that the keyboard keeps its place: the
  // button it is on now offers the path that took its row, and it never passes through rows
  // being replaced or controls outside the list.
  while (rows_.size() < paths_.size()) rows_.push_back(makeRow(static_cast<int>(rows_.size())));
  for (std::size_t i = 0; i < paths_.size(); ++i) {
    const RowWidgets& row = rows_[i];
    row.label->setText(qtext(abbreviatedPath(paths_[i], home)));
    setHelp(row.label, qtext(paths_[i]));
    row.button->setAccessibleDescription(qtext(paths_[i]));
    static_cast<PathRow*>(row.row)->setSeparated(i + 1 < paths_.size());
  }
  if (rows_.size() > paths_.size()) {
    const auto gone = rows_.begin() + static_cast<std::ptrdiff_t>(paths_.size());
    // The keyboard on a row that goes moves to the last row that stays, before it goes; with
    // none left, to the section's control, where its ring still shows.
    const bool focusGoes =
        std::any_of(gone, rows_.end(), [](const RowWidgets& row) { return row.button->hasFocus(); });
    if (focusGoes && !paths_.empty()) {
      rows_[paths_.size() - 1].button->setFocus(Qt::OtherFocusReason);
    } else if (focusGoes && fallback_) {
      fallback_->setFocus(Qt::OtherFocusReason);
    }
    for (auto row = gone; row != rows_.end(); ++row) {
      layout_->removeWidget(row->row);
      row->row->hide();
      // Later: the press that led here may still be running in one of these buttons.
      row->row->deleteLater();
    }
    rows_.erase(gone, rows_.end());
  }
  if (overlay_) overlay_->setShown(paths_.empty());
}

PathListView::RowWidgets PathListView::makeRow(int index) {
  auto* row = new PathRow(content_);
  auto* line = new QHBoxLayout(row);
  line->setContentsMargins(12, 0, 10, 0);
  line->setSpacing(8);
  line->addWidget(new SymbolView(symbol_, 16, {}, row));
  auto* label = new ElidedLabel(QString(), Qt::ElideMiddle, row);
  line->addWidget(label, 1);
  auto* button = new QPushButton(buttonTitle_, row);
  padButton(button);
  connect(button, &QPushButton::clicked, this, [this, index] {
    if (static_cast<std::size_t>(index) >= paths_.size()) return;
    // A copy: the handler may change the list.
    const std::string stored = paths_[static_cast<std::size_t>(index)];
    if (onButton_) onButton_(stored);
  });
  line->addWidget(button);
  layout_->insertWidget(index, row);
  return {row, label, button};
}

void PathListView::setPlaceholder(QWidget* placeholder) {
  overlay_ = new PlaceholderOverlay(this, placeholder);
  overlay_->setShown(paths_.empty());
}

bool PathListView::isPlaceholderShown() const { return overlay_ && overlay_->isShown(); }

QWidget* PathListView::placeholder() const { return overlay_ ? overlay_->placeholder() : nullptr; }

}  // namespace hl
