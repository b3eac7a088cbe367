#include <QApplication>
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "support/test_environment.h"

int main(int argc, char** argv) {
  hl::test::prepareFakeEnvironment(argc, argv);
#ifdef HL_DESKTOP_SIZED_SCREEN
  // The offscreen platform's own screen is 800 × 600, smaller than the main window may be.
  const std::string config = hl::test::makeScratchFolder("screen") + "/screen.json";
  if (FILE* file = std::fopen(config.c_str(), "w")) {
    std::fputs(R"({"screens": [{"name": "Desktop", "x": 0, "y": 0, "width": 1920,)"
               R"( "height": 1080, "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})",
               file);
    std::fclose(file);
  }
  qputenv("QT_QPA_PLATFORM", QByteArray("offscreen:configfile=") + config.c_str());
#else
  qputenv("QT_QPA_PLATFORM", "offscreen");
#endif
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
