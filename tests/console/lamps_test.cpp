// The signal panel and the settings button of the real window, against a
// virtual modem on COM5: what the user watches while the modem answers.
#include <cstdlib>

#include "CPortSetup.h"
#include "ConsoleTestSupport.h"

namespace console_test {
namespace {

class Lamps : public ConsoleWindow {
 protected:
  void SetUp() override {
    ConsoleWindow::SetUp();
    leds_ = {form_->ComLed1, form_->ComLed2, form_->ComLed3,
             form_->ComLed4, form_->ComLed5, form_->ComLed6};
    for (std::size_t i = 0; i < leds_.size(); ++i)
      leds_[i]->OnChange =
          TLedStateEvent([this, i](vcl::TObject*, TLedState s) { changes_[i].push_back(s); }, this);
  }

  enum Lamp { Cts, Dsr, Rlsd, Ring, Tx, Rx };
  TLedState State(Lamp lamp) const { return leds_[lamp]->State(); }
  bool WaitFor(Lamp lamp, TLedState state) {
    return vcl::testing::WaitUntil([&] { return State(lamp) == state; });
  }

  std::vector<TComLed*> leds_;
  std::vector<TLedState> changes_[6];
};

TEST_F(Lamps, AllDarkAfterStartUpAndBoundToThePort) {
  for (TComLed* led : leds_) {
    EXPECT_EQ(led->State(), lsOff);
    EXPECT_EQ(led->ComPort(), form_->ComPort);
  }
  EXPECT_EQ(form_->ComLed1->LedSignal(), lsCTS);
  EXPECT_EQ(form_->ComLed4->Kind(), lkYellowLight);
  EXPECT_EQ(form_->ComLed6->LedSignal(), lsRx);
  EXPECT_EQ(form_->ComLed6->RingDuration(), 1000);
}

TEST_F(Lamps, LineLampsTakeTheLiveLinesAtOpenAndGoDarkAtClose) {
  device_->SetCTS(true);
  device_->SetRLSD(true);
  OpenPort();
  // Lit at once, before any line changes.
  EXPECT_EQ(State(Cts), lsOn);
  EXPECT_EQ(State(Dsr), lsOff);
  EXPECT_EQ(State(Rlsd), lsOn);
  device_->SetDSR(true);
  ASSERT_TRUE(WaitFor(Dsr, lsOn));

  Click(form_->Button_Open);
  ASSERT_FALSE(form_->ComPort->Connected());
  EXPECT_EQ(State(Cts), lsOff);
  EXPECT_EQ(State(Dsr), lsOff);
  EXPECT_EQ(State(Rlsd), lsOff);
  EXPECT_EQ(changes_[Cts], (std::vector<TLedState>{lsOn, lsOff}));
}

TEST_F(Lamps, TxLightsWhenTheLineIsSentAndGoesDarkWhenTheOutputDrains) {
  OpenPort();
  device_->PauseDrain(true);
  form_->Edit_Data->SetText("AT");
  Click(form_->Button_Send);
  EXPECT_EQ(State(Tx), lsOn);
  EXPECT_EQ(device_->TakeWritten(), "");  // still in the output queue
  device_->PauseDrain(false);
  ASSERT_TRUE(WaitFor(Tx, lsOff));
  EXPECT_EQ(changes_[Tx], (std::vector<TLedState>{lsOn, lsOff}));
  EXPECT_EQ(device_->TakeWritten(), "AT\r\n");
}

TEST_F(Lamps, RxLightsOnArrivalAndGoesDarkAfterTheLogsRead) {
  OpenPort();
  device_->Feed("\r\nOK\r\n");
  ASSERT_TRUE(vcl::testing::WaitUntil([&] { return form_->Memo->Text() == "\r\nOK\r\n"; }));
  EXPECT_EQ(State(Rx), lsOff);
  EXPECT_EQ(changes_[Rx], (std::vector<TLedState>{lsOn, lsOff}));
}

TEST_F(Lamps, RingLampFlashesOnce) {
  OpenPort();
  device_->Ring();
  ASSERT_TRUE(WaitFor(Ring, lsOn));
  ASSERT_TRUE(WaitFor(Ring, lsOff));
  EXPECT_EQ(changes_[Ring], (std::vector<TLedState>{lsOn, lsOff}));
}

TEST_F(Lamps, ScreenshotWithLitLamps) {
  const char* dir = std::getenv("CONSOLE_SCREENSHOT_DIR");
  if (!dir) GTEST_SKIP() << "set CONSOLE_SCREENSHOT_DIR to write main-window-lamps.png";
  device_->SetCTS(true);
  device_->SetDSR(true);
  OpenPort();
  device_->PauseDrain(true);
  form_->Edit_Data->SetText("AT+CSQ");
  Click(form_->Button_Send);
  device_->Feed("AT+CSQ\r\r\n+CSQ: 21,0\r\n\r\nOK\r\n");
  ASSERT_TRUE(vcl::testing::WaitUntil([&] { return form_->Memo->Text().find("OK") != std::string::npos; }));
  device_->Ring();
  ASSERT_TRUE(WaitFor(Ring, lsOn));
  EXPECT_TRUE(form_->SaveScreenshot(std::string(dir) + "/main-window-lamps.png"));
  device_->PauseDrain(false);
}

// The settings button on an open port: the dialog shows the port's settings;
// a new speed reaches the driver once, when OK is pressed, and the port stays
// open.
TEST_F(Lamps, SettingsButtonChangesTheSpeedOfTheOpenPortOnce) {
  OpenPort();
  device_->ClearCalls();
  std::string shownSpeed;
  vcl::testing::WhenModal([&](vcl::TForm* form) {
    auto* dialog = dynamic_cast<TComSetupFrm*>(form);
    ASSERT_NE(dialog, nullptr);
    shownSpeed = dialog->Combo2->Text();
    vcl::testing::PickComboItem(dialog->Combo2, dialog->Combo2->Items()->IndexOf("9600"));
    EXPECT_EQ(form_->ComPort->BaudRate(), br115200);  // nothing applied on a pick
    vcl::testing::ClickControl(dialog->Button1);
  });
  Click(form_->Button_Settings);
  EXPECT_EQ(shownSpeed, "115200");
  EXPECT_EQ(form_->ComPort->BaudRate(), br9600);
  EXPECT_TRUE(form_->ComPort->Connected());
  EXPECT_EQ(form_->Button_Open->Caption(), "Закрыть порт");
  int setState = 0;
  for (const auto& call : device_->Calls())
    if (call.function == "SetCommState") {
      ++setState;
      ASSERT_TRUE(call.dcb);
      EXPECT_EQ(call.dcb->BaudRate, 9600u);
    }
  EXPECT_EQ(setState, 1);
  EXPECT_TRUE(ErrorBoxes().empty());
}

}  // namespace
}  // namespace console_test
