#include "views/shell/window_sizing.h"

#include <gtest/gtest.h>

namespace hl {
namespace {

TEST(WindowSizing, TheDefaultFrameIsMostOfTheScreenWithinItsBoundsAndCentred) {
  struct Row {
    QRectF visible;
    QRectF expected;
  };
  const Row rows[] = {
      // 86 % each way.
      {{0, 25, 1512, 944}, {105.84, 25 + 66.08, 1300.32, 811.84}},
      // The clamped minimums, but never more than the screen holds.
      {{0, 0, 1000, 600}, {0, 0, 1000, 600}},
      {{0, 0, 1100, 700}, {30, 10, 1040, 680}},
      // The clamped maximums.
      {{0, 0, 2560, 1440}, {560, 270, 1440, 900}},
      // A second screen to the left.
      {{-1920, 0, 1920, 1080}, {-1920 + 240, 90, 1440, 900}},
  };
  for (const Row& row : rows) {
    const QRectF frame = WindowSizing::defaultFrame(row.visible);
    EXPECT_NEAR(frame.x(), row.expected.x(), 1e-6) << row.visible.width();
    EXPECT_NEAR(frame.y(), row.expected.y(), 1e-6) << row.visible.width();
    EXPECT_NEAR(frame.width(), row.expected.width(), 1e-6) << row.visible.width();
    EXPECT_NEAR(frame.height(), row.expected.height(), 1e-6) << row.visible.width();
  }
}

TEST(WindowSizing, BelowTheThresholdTheColumnsAreNarrowWhateverWidthIsStored) {
  struct Row {
    double offered;
    double stored;
    WindowSizing::ColumnWidths expected;
  };
  const Row rows[] = {
      {1179, 300, {220, 220}},
      {1040, 240, {220, 220}},
      {1180, 300, {300, 260}},
      {1180, 240, {240, 260}},
      {1600, 220, {220, 260}},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(WindowSizing::columnWidths(row.offered, row.stored), row.expected)
        << row.offered << " " << row.stored;
  }
}

}  // namespace
}  // namespace hl
