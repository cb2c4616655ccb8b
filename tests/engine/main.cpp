// The test program's main thread is the user-interface thread: deliveries
// to it run while a test waits in vcl::PumpUntil.
#include <gtest/gtest.h>

#include "AppCore.h"

int main(int argc, char** argv) {
  vcl::SetMainThread();
  vcl::EnsureApplication();
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
