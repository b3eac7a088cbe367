#pragma once

#include <QWidget>
#include <vector>

#include "viewmodels/page.h"
#include "views/shared/hover_button.h"

class QLabel;
class QVBoxLayout;

namespace hl {

class AppModel;
class WindowDragArea;

// One page's button in the rail: the page's symbol (filled while selected) in a 36 × 36 rounded
// square, accent-tinted on an accent fill while selected, with a faint fill under the pointer
// otherwise. Its tooltip and accessible name are the page's title; assistive tools read it as a
// page tab, selected while its page is shown. A click only reports: the page follows the model,
// never the click.
class RailButton : public HoverButton {
  Q_OBJECT

 public:
  explicit RailButton(Page page, QWidget* parent = nullptr);

  Page page() const { return page_; }
  void setSelected(bool selected);
  bool isSelected() const { return isChecked(); }

  // The symbol drawn: the filled variant while selected, where there is one.
  static std::string symbolFor(Page page, bool selected);

  enum class Fill { selected, hovered, none };
  // Selected wins over hovered.
  static Fill fillFor(bool selected, bool hovered);

  QSize sizeHint() const override { return {side, side}; }
  QSize minimumSizeHint() const override { return sizeHint(); }

  static constexpr int side = 36;

 protected:
  void paintEvent(QPaintEvent* event) override;
  // The arrows move along the rail and choose the page they reach.
  void keyPressEvent(QKeyEvent* event) override;
  // The check mark shows the model's page, so a click never flips it.
  void nextCheckState() override {}

 private:
  Page page_;
};

// The narrow column at the window's left edge: a button per page in the pages' order, 12 below
// the top bar, and the program's mark at the bottom. Its width is the model's rail width; the
// strip as high as the top bar drags the window.
class LeftRail : public QWidget {
  Q_OBJECT

 public:
  // `model` must outlive the rail.
  explicit LeftRail(AppModel& model, QWidget* parent = nullptr);

  RailButton* button(Page page) const;
  const std::vector<RailButton*>& buttons() const { return buttons_; }
  QLabel* mark() const { return mark_; }
  WindowDragArea* dragStrip() const { return drag_; }

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  void follow();

  AppModel& model_;
  QVBoxLayout* column_;
  std::vector<RailButton*> buttons_;
  QLabel* mark_;
  WindowDragArea* drag_;
};

}  // namespace hl
