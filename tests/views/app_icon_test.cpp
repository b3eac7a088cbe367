#include <gtest/gtest.h>

#include <QApplication>

#include "views/shared/app_icon.h"

namespace hl {
namespace {

TEST(AppIcon, IsBuiltInAtEverySizeAndBecomesTheWindowIcon) {
  const QIcon icon = AppIcon::image();
  ASSERT_FALSE(icon.isNull());
  // A small size must come from a small image, not a blurred large one: each size is its own.
  for (int size : {16, 32, 48, 64, 128, 256}) {
    EXPECT_TRUE(icon.availableSizes().contains(QSize(size, size))) << size;
  }

  AppIcon::install();
  EXPECT_EQ(QApplication::windowIcon().availableSizes(), icon.availableSizes());
}

}  // namespace
}  // namespace hl
