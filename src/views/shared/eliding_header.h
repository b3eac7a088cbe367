#pragma once

#include <QHeaderView>
#include <QString>

namespace hl {

// A table's column titles, each shortened with an ellipsis at its end where its section is too
// narrow for it, and then shown whole as the section's tooltip. The titles keep their full text
// for everything else (accessible names, size hints). `padding` is kept clear at both ends of
// every title.
class ElidingHeader : public QHeaderView {
  Q_OBJECT

 public:
  ElidingHeader(Qt::Orientation orientation, int padding, QWidget* parent = nullptr);

  // The title of a section as drawn at its present size.
  QString shownTitle(int logicalIndex) const;

 protected:
  void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override;
  void initStyleOptionForIndex(QStyleOptionHeader* option, int logicalIndex) const override;
  bool viewportEvent(QEvent* event) override;

 private:
  QString title(int logicalIndex) const;
  // The room for the title inside a section of this size.
  int titleRoom(int sectionSize) const;

  int padding_;
  // Set while the style draws a section: its title is drawn here instead.
  mutable bool painting_ = false;
};

}  // namespace hl
