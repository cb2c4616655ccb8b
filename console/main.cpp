// The test console's start-up: the application, its title, the main window
// from its layout, the message loop.
//
//   talven-console                    the window
//   talven-console --screenshot FILE  draws the window into FILE (PNG) and
//                                     ends; works under QT_QPA_PLATFORM=offscreen
#include <cstdio>
#include <cstring>
#include <string>

#include "ComMainForm.h"

int main(int argc, char** argv) {
  std::string screenshot;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--screenshot") == 0 && i + 1 < argc) {
      screenshot = argv[++i];
    } else {
      std::fprintf(stderr, "usage: %s [--screenshot FILE.png]\n", argv[0]);
      return 2;
    }
  }

  vcl::InitializeApplication();
  vcl::Application->SetTitle(console::kApplicationTitle);
  try {
    vcl::CreateForm(Form1);
  } catch (...) {
    vcl::Application->HandleException(nullptr);
    vcl::DoneApplication();
    return 1;
  }

  int status = 0;
  if (!screenshot.empty()) {
    Form1->Show();
    if (!Form1->SaveScreenshot(screenshot)) {
      std::fprintf(stderr, "cannot write %s\n", screenshot.c_str());
      status = 1;
    }
  } else {
    vcl::RunApplication();
  }
  vcl::DoneApplication();
  return status;
}
