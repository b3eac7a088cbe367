#pragma once

#include <QObject>
#include <QPointer>

class QAbstractScrollArea;
class QWidget;

namespace hl {

// Lays a placeholder over a list or table while it has nothing to show: the placeholder
// covers the list's viewport, centred, and follows its size. The list stays where it is, so its
// frame and headers still show under an empty state.
class PlaceholderOverlay : public QObject {
  Q_OBJECT

 public:
  // Takes `placeholder` into the list's viewport; hidden until `setShown(true)`.
  PlaceholderOverlay(QAbstractScrollArea* list, QWidget* placeholder);

  void setShown(bool shown);
  bool isShown() const;
  QWidget* placeholder() const { return placeholder_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void fit();

  // Kept apart from the list: the viewport's events keep coming while the list is destroyed.
  QPointer<QWidget> viewport_;
  QPointer<QWidget> placeholder_;
  bool shown_ = false;
};

}  // namespace hl
