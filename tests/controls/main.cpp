// Qt widgets run on the offscreen platform: no display needed. The
// application is made once and torn down at the end, so that what Qt holds
// is released before the leak check.
#include <gtest/gtest.h>

#include <cstdlib>

#include "CPortCtl.h"
#include "Forms.h"

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  ::testing::InitGoogleTest(&argc, argv);
  // Listing the tests (as the build's test discovery does) needs no Qt.
  if (GTEST_FLAG_GET(list_tests)) return RUN_ALL_TESTS();
  vcl::InitializeApplication();
  RegisterControlClasses();
  const int result = RUN_ALL_TESTS();
  vcl::DoneApplication();
  return result;
}
