#pragma once

#include <QCheckBox>

namespace hl {

// A check box whose box is drawn from the palette's roles (see `CheckMark`), so it reads on a
// dark window, with a ring around the box while the keyboard's focus is on it. Its text, if it
// has one, is drawn as the style draws it.
class CheckBox : public QCheckBox {
  Q_OBJECT

 public:
  explicit CheckBox(const QString& text = {}, QWidget* parent = nullptr);

  // Room for the ring around the box.
  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;

 protected:
  bool hitButton(const QPoint& pos) const override;
  void paintEvent(QPaintEvent* event) override;
};

}  // namespace hl
