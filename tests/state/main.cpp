#include <QCoreApplication>
#include <gtest/gtest.h>

#include "support/test_environment.h"

int main(int argc, char** argv) {
  hl::test::prepareFakeEnvironment(argc, argv);
  QCoreApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
