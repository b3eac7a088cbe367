#pragma once

#include <QWidget>
#include <optional>
#include <vector>

#include "views/shared/status_tag_model.h"

namespace hl {

// One chip: a capsule with the symbol and the title in the tint's colour; its help shows on
// hover. The static functions let a table delegate draw the same chip without a widget.
class StatusTag : public QWidget {
  Q_OBJECT

 public:
  explicit StatusTag(StatusTagModel model, QWidget* parent = nullptr);

  const StatusTagModel& model() const { return model_; }
  void setModel(StatusTagModel model);

  QSize sizeHint() const override;
  QSize minimumSizeHint() const override { return sizeHint(); }

  // The chip's natural size: 20 high, 7 either side, symbol and title 3 apart.
  static QSize sizeFor(const StatusTagModel& model, const QFont& base);
  static void paint(QPainter& painter, const QRectF& rect, const StatusTagModel& model,
                    const QPalette& palette, const QFont& base);
  // The capsule's fill opacity: a touch stronger on a dark palette.
  static double fillOpacity(bool dark) { return dark ? 0.14 : 0.12; }
  static constexpr double borderOpacity = 0.25;
  static constexpr int chipHeight = 20;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  void describe();

  StatusTagModel model_;
};

// A row of chips that shows `full` when it fits the width it is given and `compact` otherwise
// (also when neither fits). Without a compact row the compact form is the first chip of `full`.
class StatusTagRow : public QWidget {
  Q_OBJECT

 public:
  explicit StatusTagRow(QWidget* parent = nullptr);
  StatusTagRow(std::vector<StatusTagModel> full,
               std::optional<std::vector<StatusTagModel>> compact = std::nullopt,
               QWidget* parent = nullptr);

  void setTags(std::vector<StatusTagModel> full,
               std::optional<std::vector<StatusTagModel>> compact = std::nullopt);

  // Whether the full row is the one on screen.
  bool showsFull() const;
  // The chips now on screen.
  const std::vector<StatusTagModel>& shownTags() const;

  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;

  // The compact row a row without one falls back to.
  static std::vector<StatusTagModel> defaultCompact(const std::vector<StatusTagModel>& full);
  // The width of chips side by side, 4 apart.
  static int rowWidth(const std::vector<StatusTagModel>& tags, const QFont& base);
  static constexpr int spacing = 4;

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  void rebuild();
  void choose();
  QWidget* makeStrip(const std::vector<StatusTagModel>& tags);

  std::vector<StatusTagModel> full_;
  std::vector<StatusTagModel> compact_;
  QWidget* fullStrip_ = nullptr;
  QWidget* compactStrip_ = nullptr;
};

}  // namespace hl
