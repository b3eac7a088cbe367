#pragma once

#include <QFrame>

class QLabel;
class QProgressBar;

namespace hl {

class CleanerViewModel;
class DestructiveButton;
class Spinner;

// The bar at the bottom of the Home page: how many items are ticked and how large they are,
// where they go, the progress of a running removal, and the one button that asks to remove the
// ticked items.
class SelectionSummaryCard : public QFrame {
  Q_OBJECT

 public:
  // `cleaner` must outlive the card.
  explicit SelectionSummaryCard(CleanerViewModel& cleaner, QWidget* parent = nullptr);

  QLabel* countLabel() const { return count_; }
  QLabel* sizeLabel() const { return size_; }
  QProgressBar* progressBar() const { return progress_; }
  Spinner* spinner() const { return spinner_; }
  DestructiveButton* removalButton() const { return button_; }

  static constexpr int cardHeight = 64;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  void refresh();

  CleanerViewModel& cleaner_;
  QLabel* count_;
  QLabel* size_;
  QProgressBar* progress_;
  Spinner* spinner_;
  DestructiveButton* button_;
};

}  // namespace hl
