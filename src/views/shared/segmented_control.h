#pragma once

#include <QString>
#include <QStringList>
#include <QWidget>

class QButtonGroup;
class QToolButton;

namespace hl {

// A segmented picker: exclusive checkable buttons side by side, one always chosen. Its label is
// not shown; it names the control for assistive tools. `chosen` reports the user's picks only.
class SegmentedControl : public QWidget {
  Q_OBJECT

 public:
  enum class Size { regular, small };

  SegmentedControl(const QString& label, const QStringList& segments, Size size = Size::regular,
                   QWidget* parent = nullptr);

  int currentIndex() const;
  // Shows a segment as chosen without reporting it.
  void setCurrentIndex(int index);
  QToolButton* segment(int index) const;
  int count() const;

  QSize sizeHint() const override;

 signals:
  void chosen(int index);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QButtonGroup* group_;
  Size size_;
};

}  // namespace hl
