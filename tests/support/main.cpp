#include <gtest/gtest.h>

#include "support/fake_child.h"

int main(int argc, char** argv) {
  if (const int status = nimbro::testing::runFakeChildIfAsked(argc, argv); status >= 0)
    return status;
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
