// The six lamps of the main window's signal panel against a virtual modem:
// a window of the same shape (a port delivering on the user-interface
// thread, the six lamps as the panel holds them, and an OnRxChar handler that
// reads what arrived), read from a layout as the main window is.
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "ControlsTestSupport.h"
#include "Resources.h"

namespace {

using controls_test::QtFixture;

constexpr const char* kLampFormLayout = R"(object LampForm: TLampForm
  Left = 200
  Top = 120
  Caption = 'Lamps'
  ClientHeight = 64
  ClientWidth = 200
  object Panel1: TPanel
    Left = 8
    Top = 8
    Width = 185
    Height = 49
    BevelOuter = bvNone
    TabOrder = 0
    object ComLed1: TComLed
      Left = 0
      Top = 8
      Width = 25
      Height = 25
      ComPort = ComPort
      LedSignal = lsCTS
      Kind = lkPurpleLight
    end
    object ComLed2: TComLed
      Left = 32
      Top = 8
      Width = 25
      Height = 25
      ComPort = ComPort
      LedSignal = lsDSR
      Kind = lkPurpleLight
    end
    object ComLed3: TComLed
      Left = 64
      Top = 8
      Width = 25
      Height = 25
      ComPort = ComPort
      LedSignal = lsRLSD
      Kind = lkPurpleLight
    end
    object ComLed4: TComLed
      Left = 104
      Top = 8
      Width = 25
      Height = 25
      ComPort = ComPort
      LedSignal = lsRing
      Kind = lkYellowLight
    end
    object Label2: TLabel
      Left = 3
      Top = 31
      Width = 21
      Height = 13
      Caption = 'CTS'
    end
    object Label3: TLabel
      Left = 32
      Top = 32
      Width = 23
      Height = 13
      Caption = 'DSR'
    end
    object Label4: TLabel
      Left = 64
      Top = 32
      Width = 29
      Height = 13
      Caption = 'RLSD'
    end
    object Label5: TLabel
      Left = 104
      Top = 32
      Width = 22
      Height = 13
      Caption = 'Ring'
    end
    object ComLed5: TComLed
      Left = 136
      Top = 8
      Width = 25
      Height = 25
      ComPort = ComPort
      LedSignal = lsTx
      Kind = lkRedLight
    end
    object ComLed6: TComLed
      Left = 160
      Top = 8
      Width = 25
      Height = 25
      ComPort = ComPort
      LedSignal = lsRx
      Kind = lkRedLight
    end
    object Label1: TLabel
      Left = 142
      Top = 32
      Width = 12
      Height = 13
      Caption = 'Tx'
    end
    object Label6: TLabel
      Left = 166
      Top = 32
      Width = 13
      Height = 13
      Caption = 'Rx'
    end
  end
  object ComPort: TComPort
    BaudRate = br115200
    Port = 'COM61'
    Parity.Bits = prNone
    StopBits = sbOneStopBit
    DataBits = dbEight
    Events = [evRxChar, evTxEmpty, evRxFlag, evRing, evBreak, evCTS, evDSR, evError, evRLSD, evRx80Full]
    OnRxChar = ComPortRxChar
  end
end
)";

class TLampForm : public vcl::TForm {
 public:
  explicit TLampForm(vcl::TComponent* owner) : vcl::TForm(owner) {
    vcl::RegisterResource("TLampForm", kLampFormLayout);
    ReadLayout("TLampForm");
    BindComponent(ComPort, "ComPort");
    const char* names[] = {"ComLed1", "ComLed2", "ComLed3", "ComLed4", "ComLed5", "ComLed6"};
    for (int i = 0; i < 6; ++i) BindComponent(Leds[i], names[i]);
  }
  const vcl::TClassInfo* ClassInfo() const override { return StaticClassInfo(); }
  static const vcl::TClassInfo* StaticClassInfo() {
    static const vcl::TClassInfo info = [] {
      vcl::TClassInfo i("TLampForm", vcl::TForm::StaticClassInfo());
      i.Add(vcl::PublishedMethod("ComPortRxChar", &TLampForm::ComPortRxChar));
      return i;
    }();
    return &info;
  }

  // As the console reads: exactly the count announced.
  void ComPortRxChar(vcl::TObject*, int count) {
    std::string text;
    ComPort->ReceiveText(text, count);
    Log += text;
  }

  TComPort* ComPort = nullptr;
  TComLed* Leds[6] = {};  // CTS, DSR, RLSD, Ring, Tx, Rx
  std::string Log;
};

enum Lamp { Cts, Dsr, Rlsd, RingLamp, Tx, Rx };

class SignalPanelTest : public QtFixture {
 protected:
  void SetUp() override {
    QtFixture::SetUp();
    modem_ = Device("COM61");
    form_ = std::make_unique<TLampForm>(nullptr);
    for (int i = 0; i < 6; ++i)
      form_->Leds[i]->OnChange = TLedStateEvent(
          [this, i](vcl::TObject*, TLedState s) { changes_[i].push_back(s); }, this);
    form_->Show();
  }
  void TearDown() override {
    form_.reset();
    QtFixture::TearDown();
  }

  TLedState State(Lamp lamp) const { return form_->Leds[lamp]->State(); }
  bool Wait(Lamp lamp, TLedState state) {
    return vcl::testing::WaitUntil([&] { return State(lamp) == state; });
  }

  std::shared_ptr<win32::VirtualDevice> modem_;
  std::unique_ptr<TLampForm> form_;
  std::vector<TLedState> changes_[6];
};

TEST_F(SignalPanelTest, LampsStartDarkAttachedToTheClosedPort) {
  EXPECT_EQ(form_->ComPort->LinkCount(), 6);
  for (TComLed* led : form_->Leds) {
    EXPECT_EQ(led->State(), lsOff);
    EXPECT_EQ(led->ComPort(), form_->ComPort);
  }
  EXPECT_EQ(form_->Leds[Cts]->Kind(), lkPurpleLight);
  EXPECT_EQ(form_->Leds[RingLamp]->Kind(), lkYellowLight);
  EXPECT_EQ(form_->Leds[Tx]->LedSignal(), lsTx);
  EXPECT_EQ(form_->Leds[Rx]->Left(), 160);
  for (const auto& c : changes_) EXPECT_TRUE(c.empty());
}

TEST_F(SignalPanelTest, LineLampsShowTheLinesAtOpenAndGoDarkAtClose) {
  modem_->SetCTS(true);
  modem_->SetRLSD(true);
  form_->ComPort->OpenPort();
  // At once, before any line changes.
  EXPECT_EQ(State(Cts), lsOn);
  EXPECT_EQ(State(Dsr), lsOff);
  EXPECT_EQ(State(Rlsd), lsOn);

  modem_->SetDSR(true);
  ASSERT_TRUE(Wait(Dsr, lsOn));
  if (const char* dir = std::getenv("CONTROLS_SCREENSHOT_DIR")) {  // a look at the lit lamps
    EXPECT_TRUE(form_->SaveScreenshot(std::string(dir) + "/lamps.png"));
  }
  form_->ComPort->ClosePort();
  EXPECT_EQ(State(Cts), lsOff);
  EXPECT_EQ(State(Dsr), lsOff);
  EXPECT_EQ(State(Rlsd), lsOff);
  EXPECT_EQ(changes_[Cts], (std::vector<TLedState>{lsOn, lsOff}));
  EXPECT_EQ(changes_[Dsr], (std::vector<TLedState>{lsOff, lsOn, lsOff}));
}

TEST_F(SignalPanelTest, TxLampLightsWhileAWriteDrains) {
  form_->ComPort->OpenPort();
  modem_->PauseDrain(true);
  form_->ComPort->SendText("AT\r\n");
  EXPECT_EQ(State(Tx), lsOn);
  vcl::testing::ProcessPending();
  EXPECT_EQ(State(Tx), lsOn);  // the output has not drained
  modem_->PauseDrain(false);
  ASSERT_TRUE(Wait(Tx, lsOff));
  EXPECT_EQ(changes_[Tx], (std::vector<TLedState>{lsOn, lsOff}));
  EXPECT_EQ(modem_->TakeWritten(), "AT\r\n");
}

TEST_F(SignalPanelTest, RxLampLightsOnArrivalAndGoesDarkAfterTheRead) {
  form_->ComPort->OpenPort();
  modem_->Feed("OK\r\n");
  ASSERT_TRUE(vcl::testing::WaitUntil([&] { return form_->Log == "OK\r\n"; }));
  EXPECT_EQ(State(Rx), lsOff);
  EXPECT_EQ(changes_[Rx], (std::vector<TLedState>{lsOn, lsOff}));
}

TEST_F(SignalPanelTest, RingLampFlashes) {
  form_->ComPort->OpenPort();
  modem_->Ring();
  ASSERT_TRUE(Wait(RingLamp, lsOn));
  ASSERT_TRUE(Wait(RingLamp, lsOff));
  EXPECT_EQ(changes_[RingLamp], (std::vector<TLedState>{lsOn, lsOff}));
}

TEST_F(SignalPanelTest, TrafficLampsLitAtCloseStayLit) {
  form_->ComPort->OpenPort();
  modem_->PauseDrain(true);
  form_->ComPort->SendText("ATZ\r");
  form_->ComPort->ClosePort();
  EXPECT_EQ(State(Tx), lsOn);
}

}  // namespace
