// Shared pieces of the controls' tests: the application, virtual devices
// registered for one test, and answering a modal dialog from inside its loop.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "CPort.h"
#include "CPortCtl.h"
#include "ExtCtrls.h"
#include "Forms.h"
#include "UiTesting.h"
#include "VirtualDevice.h"

namespace controls_test {

// Real widgets on the offscreen platform (the application is made by the
// test program's main).
class QtFixture : public ::testing::Test {
 protected:
  void TearDown() override {
    for (const std::string& name : devices_) win32::VirtualDevice::Unregister(name);
    vcl::testing::ProcessPending();
  }

  // A virtual serial device under `name`, unregistered when the test ends.
  std::shared_ptr<win32::VirtualDevice> Device(const std::string& name) {
    devices_.push_back(name);
    return win32::VirtualDevice::Register(name);
  }

 private:
  std::vector<std::string> devices_;
};

// Runs `answer` with the form shown modally next, from inside its modal
// loop, once: a one-shot timer armed before the dialog is started fires in
// the dialog's loop.
class ModalAnswer {
 public:
  explicit ModalAnswer(std::function<void(vcl::TForm*)> answer)
      : answer_(std::move(answer)), timer_(std::make_unique<vcl::TTimer>(nullptr)) {
    timer_->SetInterval(1);
    timer_->SetOnTimer(vcl::TNotifyEvent(
        [this](vcl::TObject*) {
          timer_->SetEnabled(false);
          vcl::TForm* form = vcl::testing::ActiveModalForm();
          ran_ = true;
          if (!form) {
            ADD_FAILURE() << "no modal form is shown";
            return;
          }
          answer_(form);
        },
        this));
    timer_->SetEnabled(true);
  }
  bool Ran() const { return ran_; }

 private:
  std::function<void(vcl::TForm*)> answer_;
  std::unique_ptr<vcl::TTimer> timer_;
  bool ran_ = false;
};

}  // namespace controls_test
