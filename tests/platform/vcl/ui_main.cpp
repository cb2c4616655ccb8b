// Qt widgets run on the offscreen platform: no display needed.
#include <gtest/gtest.h>

#include <cstdlib>

#include "Forms.h"
#include "RegisterUiTestResources.h"

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  ::testing::InitGoogleTest(&argc, argv);
  vcl::InitializeApplication();
  RegisterUiTestResources();
  const int result = RUN_ALL_TESTS();
  vcl::DoneApplication();
  return result;
}
