#pragma once

#include <QPointer>
#include <QScrollArea>
#include <QString>
#include <functional>
#include <string>
#include <vector>

class QPushButton;
class QVBoxLayout;

namespace hl {

class ElidedLabel;
class PlaceholderOverlay;

// A list of stored paths, one row each: a symbol in the secondary colour, the path with the
// home folder written "~" on one line (shortened in the middle where it does not fit, the
// stored text in full as its tooltip), and a button at the trailing edge that hands the row's
// stored text to `onButton`. An empty-state placeholder can be laid over the list while it has
// no rows. Tab moves through the buttons, and the list scrolls to the focused one. When the paths
// change, the keyboard stays on the button at the same row (the last one when its row went), and
// goes to the keyboard fallback (the control that chose the list's section) when no row is left.
class PathListView : public QScrollArea {
  Q_OBJECT

 public:
  PathListView(std::string symbol, QString buttonTitle,
               std::function<void(const std::string&)> onButton, QWidget* parent = nullptr);

  // Shows these paths in this order; `home` is the home folder the display form uses.
  void setPaths(const std::vector<std::string>& paths, const std::string& home);
  const std::vector<std::string>& paths() const { return paths_; }

  // Where the keyboard goes when the last row goes with it.
  void setKeyboardFallback(QWidget* fallback) { fallback_ = fallback; }

  // Laid over the list, centred, while it has no rows.
  void setPlaceholder(QWidget* placeholder);
  bool isPlaceholderShown() const;
  QWidget* placeholder() const;

  int rowCount() const { return static_cast<int>(rows_.size()); }
  // Row `i`'s path as displayed, and its button.
  ElidedLabel* pathLabel(int row) const { return rows_.at(static_cast<std::size_t>(row)).label; }
  QPushButton* button(int row) const { return rows_.at(static_cast<std::size_t>(row)).button; }

  static constexpr int rowHeight = 36;

 private:
  struct RowWidgets {
    QWidget* row;
    ElidedLabel* label;
    QPushButton* button;
  };
  // A row at `index` whose button offers the path at that index when pressed.
  RowWidgets makeRow(int index);

  std::string symbol_;
  QString buttonTitle_;
  std::function<void(const std::string&)> onButton_;
  std::vector<std::string> paths_;
  std::vector<RowWidgets> rows_;
  QWidget* content_;
  QVBoxLayout* layout_;
  PlaceholderOverlay* overlay_ = nullptr;
  QPointer<QWidget> fallback_;
};

}  // namespace hl
