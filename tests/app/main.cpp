#include <QApplication>
#include <gtest/gtest.h>

#include "support/test_environment.h"

int main(int argc, char** argv) {
  hl::test::prepareFakeEnvironment(argc, argv);
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
