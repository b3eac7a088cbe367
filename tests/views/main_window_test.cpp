#include <gtest/gtest.h>

#include "views/shell/main_window.h"

TEST(MainWindow, ConstructsOffscreenWithItsTitle) {
  hl::MainWindow window;
  window.show();
  EXPECT_EQ(window.windowTitle().toStdString(), "Harbor Lume");
  EXPECT_TRUE(window.isVisible());
}
