// The main window as a test drives it: built from its layout like at
// start-up, shown, with dialogs and the shell answered by hooks and the
// port on a virtual device named COM5.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ComMainForm.h"
#include "Dialogs.h"
#include "ShellApi.h"
#include "UiTesting.h"
#include "VirtualDevice.h"

namespace console_test {

class ConsoleWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    vcl::InitializeApplication();
    vcl::Application->SetTitle(console::kApplicationTitle);
    device_ = win32::VirtualDevice::Register("COM5");
    previousDialogs_ = vcl::SetDialogHook([this](const vcl::TDialogRecord& record) {
      dialogs_.push_back(record);
      return answer_;
    });
    previousShell_ = vcl::SetShellExecuteHook([this](const vcl::TShellExecuteRecord& record) {
      shell_.push_back(record);
      return shellSucceeds_;
    });
    form_ = new TForm1(vcl::Application);
    form_->Show();
    vcl::testing::ProcessPending();
  }

  void TearDown() override {
    delete form_;
    vcl::testing::ProcessPending();
    win32::VirtualDevice::Unregister("COM5");
    vcl::SetDialogHook(std::move(previousDialogs_));
    vcl::SetShellExecuteHook(std::move(previousShell_));
  }

  // Clicks the button as the user does and lets the window settle.
  void Click(vcl::TControl* control) {
    ASSERT_TRUE(vcl::testing::ClickControl(control)) << control->Name() << " is not showing";
    vcl::testing::ProcessPending();
  }

  void OpenPort() {
    Click(form_->Button_Open);
    ASSERT_TRUE(form_->ComPort->Connected());
  }

  std::vector<vcl::TDialogRecord> ErrorBoxes() const {
    std::vector<vcl::TDialogRecord> boxes;
    for (const auto& d : dialogs_)
      if (d.source == vcl::TDialogRecord::Source::Exception) boxes.push_back(d);
    return boxes;
  }

  TForm1* form_ = nullptr;
  std::shared_ptr<win32::VirtualDevice> device_;
  std::vector<vcl::TDialogRecord> dialogs_;
  vcl::TModalResult answer_ = vcl::mrOk;
  std::vector<vcl::TShellExecuteRecord> shell_;
  bool shellSucceeds_ = true;

 private:
  vcl::TDialogHook previousDialogs_;
  vcl::TShellExecuteHook previousShell_;
};

}  // namespace console_test
