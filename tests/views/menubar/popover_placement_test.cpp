#include <gtest/gtest.h>

#include "views/menubar/popover_placement.h"

namespace hl {
namespace {

TEST(PopoverPlacement, OpensBesideItsAnchorInsideTheScreen) {
  const QRect screen(0, 28, 1920, 1052);  // a top panel of 28 px
  const QSize size(320, 500);
  struct Case {
    const char* name;
    QRect anchor;
    QPoint topLeft;
  };
  const std::vector<Case> cases = {
      {"icon in a top panel", {1500, 4, 22, 22}, {1350, 30}},
      {"icon at the right edge", {1896, 4, 22, 22}, {1600, 30}},
      {"icon at the left edge", {2, 4, 22, 22}, {0, 30}},
      {"icon in a bottom panel", {1500, 1054, 22, 22}, {1350, 550}},
      {"pointer in the upper half", {400, 300, 1, 1}, {240, 305}},
      {"pointer low on the screen", {400, 1000, 1, 1}, {240, 496}},
      {"pointer just above the middle", {400, 552, 1, 1}, {240, 557}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(PopoverPlacement::topLeft(c.anchor, size, screen), c.topLeft);
  }
  // Taller than the screen: its top stays on screen.
  EXPECT_EQ(PopoverPlacement::topLeft({10, 10, 1, 1}, {320, 2000}, screen), QPoint(0, 28));
  // A second screen to the right.
  EXPECT_EQ(PopoverPlacement::topLeft({3800, 10, 20, 20}, size, {1920, 0, 1920, 1080}),
            QPoint(3520, 34));
}

}  // namespace
}  // namespace hl
