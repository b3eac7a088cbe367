#include <gtest/gtest.h>

#include "support/test_environment.h"

// No application object here: each test starts its own display first and makes the application
// on it.
int main(int argc, char** argv) {
  hl::test::prepareFakeEnvironment(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
