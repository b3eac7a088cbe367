#pragma once

#include <QWidget>

class QAbstractScrollArea;

namespace hl {

// The focus ring around a list while the list has the keyboard, along its frame, in the ring
// colour every control of the program shows. A list of plain rows shows nothing of its focus
// otherwise: the style draws its panel frame in one grey whether it has the keyboard or not, and
// an item view marks only a current item, which such a list has none of. The ring lies over the
// list and takes no clicks; it follows the list's size and palette.
class ListFocusRing : public QWidget {
  Q_OBJECT

 public:
  // Lays the ring over `list`; it lives as long as the list does.
  static ListFocusRing* install(QAbstractScrollArea* list);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  explicit ListFocusRing(QAbstractScrollArea* list);

  QAbstractScrollArea* list_;
};

}  // namespace hl
