#pragma once

#include <QString>
#include <QWidget>
#include <functional>
#include <utility>
#include <vector>

#include "models/live_summary.h"

class QLabel;
class QPushButton;

namespace hl {

// Placeholder rows while the first results are measured: a checkbox, two text bars of varying
// widths, a size bar and a size text, all faint; announced as "Scanning".
class SkeletonRows : public QWidget {
  Q_OBJECT

 public:
  explicit SkeletonRows(int count = 8, QWidget* parent = nullptr);

  int count() const { return count_; }
  QSize sizeHint() const override;

  // Bar widths of row i: they repeat every 120 and 160 rows and differ between neighbours.
  static int firstBarWidth(int row) { return 140 + (37 * row) % 120; }
  static int secondBarWidth(int row) { return 220 + (53 * row) % 160; }
  static constexpr int rowHeight = 52;
  static constexpr int rowSpacing = 8;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  int count_;
};

// The in-use state cannot be verified, so nothing may be selected; "Retry" calls `retry`.
class UnavailableBanner : public QWidget {
  Q_OBJECT

 public:
  explicit UnavailableBanner(std::function<void()> retry, QWidget* parent = nullptr);

  QPushButton* retryButton() const { return retry_; }

 private:
  QPushButton* retry_;
};

// How many AI agents and worktrees are live right now: always all four counts.
class LiveNowStrip : public QWidget {
  Q_OBJECT

 public:
  explicit LiveNowStrip(const LiveSummary& summary = {}, QWidget* parent = nullptr);

  void setSummary(const LiveSummary& summary);

  // The four metrics in order: the count in plain digits and its label.
  static std::vector<std::pair<QString, QString>> metrics(const LiveSummary& summary);

  // The metric widgets' texts as shown, for tests.
  std::vector<std::pair<QString, QString>> shownMetrics() const;

 private:
  std::vector<std::pair<QLabel*, QLabel*>> labels_;
};

}  // namespace hl
