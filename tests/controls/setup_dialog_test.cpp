// The port settings dialog, run modally and answered from inside its loop,
// on ports over virtual devices.
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <QGuiApplication>
#include <QScreen>

#include "CPortSetup.h"
#include "ControlsTestSupport.h"
#include "RegistryFaults.h"

namespace {

using controls_test::ModalAnswer;
using controls_test::QtFixture;

// Hears when the component it watches is destroyed.
class DestroySpy : public vcl::TComponent {
 public:
  DestroySpy() : vcl::TComponent(nullptr) {}
  bool Destroyed = false;

 protected:
  void Notification(vcl::TComponent* c, vcl::TOperation op) override {
    vcl::TComponent::Notification(c, op);
    if (op == vcl::TOperation::opRemove) Destroyed = true;
  }
};

class SetupDialogTest : public QtFixture {
 protected:
  void SetUp() override {
    QtFixture::SetUp();
    modem_ = Device("COM71");
    port_ = std::make_unique<TComPort>(nullptr);
    port_->SetPort("COM71");
    port_->SetBaudRate(br115200);
    port_->SetDataBits(dbEight);
    port_->SetStopBits(sbOneStopBit);
    port_->Parity()->SetBits(prNone);
    port_->FlowControl()->SetFlowControl(fcNone);
  }
  void TearDown() override {
    port_.reset();
    QtFixture::TearDown();
  }

  // Runs the dialog for the port; `answer` acts on it while it is shown.
  void RunDialog(const std::function<void(TComSetupFrm*)>& answer) {
    ModalAnswer modal([&](vcl::TForm* form) {
      auto* dialog = dynamic_cast<TComSetupFrm*>(form);
      ASSERT_NE(dialog, nullptr);
      dialog->FreeNotification(&spy_);
      answer(dialog);
    });
    port_->ShowSettingsDialog();
    EXPECT_TRUE(modal.Ran());
  }

  static void Pick(TComComboBox* combo, const std::string& text) {
    const int index = combo->Items()->IndexOf(text);
    ASSERT_GE(index, 0) << text;
    vcl::testing::PickComboItem(combo, index);
  }

  struct Settings {
    std::string port;
    TBaudRate baud;
    TDataBits data;
    TStopBits stop;
    TParityBits parity;
    TFlowControl flow;
    bool operator==(const Settings&) const = default;
  };
  Settings Current() const {
    return {port_->Port(),          port_->BaudRate(),       port_->DataBits(),
            port_->StopBits(),      port_->Parity()->Bits(), port_->FlowControl()->FlowControl()};
  }
  int CallsOf(const std::string& function) const {
    int n = 0;
    for (const auto& call : modem_->Calls()) n += call.function == function;
    return n;
  }

  std::shared_ptr<win32::VirtualDevice> modem_;
  std::unique_ptr<TComPort> port_;
  DestroySpy spy_;
};

TEST_F(SetupDialogTest, OpensCentredWithThePortsCurrentSettings) {
  RunDialog([&](TComSetupFrm* dialog) {
    EXPECT_EQ(dialog->Caption(), "Setup");
    EXPECT_EQ(dialog->ClientWidth(), 231);
    EXPECT_EQ(dialog->ClientHeight(), 216);
    EXPECT_EQ(dialog->BorderStyle(), vcl::bsDialog);
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    EXPECT_NEAR(dialog->Left() + dialog->Width() / 2, screen.center().x(), 2);
    EXPECT_NEAR(dialog->Top() + dialog->Height() / 2, screen.center().y(), 2);

    EXPECT_EQ(dialog->Combo1->Text(), "COM71");
    EXPECT_EQ(dialog->Combo2->Text(), "115200");
    EXPECT_EQ(dialog->Combo3->Text(), "8");
    EXPECT_EQ(dialog->Combo4->Text(), "1");
    EXPECT_EQ(dialog->Combo5->Text(), "None");
    EXPECT_EQ(dialog->Combo6->Text(), "None");
    EXPECT_EQ(dialog->GroupBox1->Caption(), " Settings ");
    EXPECT_EQ(dialog->Label6->Caption(), "Flow control");
    EXPECT_TRUE(dialog->Button1->Default());
    EXPECT_FALSE(dialog->Button2->Cancel());
    EXPECT_FALSE(dialog->Combo2->AutoApply());

    // A look at it, for the documentation when asked for.
    const char* dir = std::getenv("CONTROLS_SCREENSHOT_DIR");
    const std::string path = dir ? std::string(dir) + "/settings-dialog.png"
                                 : (std::filesystem::temp_directory_path() / "settings-dialog.png").string();
    EXPECT_TRUE(dialog->SaveScreenshot(path));
    EXPECT_GT(std::filesystem::file_size(path), 0u);
    dialog->SetModalResult(vcl::mrCancel);
  });
  EXPECT_TRUE(spy_.Destroyed);
}

TEST_F(SetupDialogTest, CancelAndTheCloseBoxChangeNothing) {
  const Settings before = Current();
  for (bool closeBox : {false, true}) {
    SCOPED_TRACE(closeBox ? "close box" : "Cancel");
    port_->OpenPort();
    modem_->ClearCalls();
    RunDialog([&](TComSetupFrm* dialog) {
      Pick(dialog->Combo2, "300");
      Pick(dialog->Combo5, "Even");
      if (closeBox)
        vcl::testing::CloseByUser(dialog);
      else
        vcl::testing::ClickControl(dialog->Button2);
    });
    EXPECT_TRUE(Current() == before);
    EXPECT_EQ(CallsOf("SetCommState"), 0);
    EXPECT_TRUE(port_->Connected());
    EXPECT_EQ(port_->SettingsUpdateDepth(), 0);
    port_->ClosePort();
  }
}

TEST_F(SetupDialogTest, OkWithoutPickingLeavesThePortAsItWas) {
  port_->SetDataBits(dbSeven);
  port_->Parity()->SetBits(prOdd);
  port_->FlowControl()->SetFlowControl(fcHardware);
  const Settings before = Current();
  port_->OpenPort();
  modem_->ClearCalls();
  RunDialog([&](TComSetupFrm* dialog) { vcl::testing::ClickControl(dialog->Button1); });
  EXPECT_TRUE(Current() == before);
  EXPECT_TRUE(port_->Connected());
  EXPECT_EQ(CallsOf("CreateFileA"), 0);  // not reopened
}

TEST_F(SetupDialogTest, OkWithAPortNameThatIsNotListedKeepsTheName) {
  // Opened under a name the serial device map does not hold now.
  win32::VirtualDevice::Unregister("COM71");
  port_->SetPort("/dev/tty-not-plugged-in");
  RunDialog([&](TComSetupFrm* dialog) {
    EXPECT_EQ(dialog->Combo1->ItemIndex(), -1);
    Pick(dialog->Combo2, "9600");
    vcl::testing::ClickControl(dialog->Button1);
  });
  EXPECT_EQ(port_->Port(), "/dev/tty-not-plugged-in");
  EXPECT_EQ(port_->BaudRate(), br9600);
}

TEST_F(SetupDialogTest, NewSpeedOnAnOpenPortIsSetOnceWhenTheHoldEnds) {
  port_->OpenPort();
  modem_->ClearCalls();
  RunDialog([&](TComSetupFrm* dialog) {
    Pick(dialog->Combo2, "19200");
    EXPECT_EQ(CallsOf("SetCommState"), 0);  // picking applies nothing
    vcl::testing::ClickControl(dialog->Button1);
  });
  EXPECT_EQ(port_->BaudRate(), br19200);
  EXPECT_EQ(port_->SettingsUpdateDepth(), 0);
  std::vector<DWORD> rates;
  for (const auto& call : modem_->Calls())
    if (call.function == "SetCommState") rates.push_back(call.dcb->BaudRate);
  EXPECT_EQ(rates, (std::vector<DWORD>{19200}));
  EXPECT_EQ(CallsOf("CreateFileA"), 0);
}

TEST_F(SetupDialogTest, NewPortNameReopensAnOpenPortUnderIt) {
  auto other = Device("COM72");
  port_->OpenPort();
  ASSERT_TRUE(modem_->IsOpen());
  RunDialog([&](TComSetupFrm* dialog) {
    Pick(dialog->Combo1, "COM72");
    Pick(dialog->Combo3, "7");
    vcl::testing::ClickControl(dialog->Button1);
  });
  EXPECT_EQ(port_->Port(), "COM72");
  EXPECT_TRUE(port_->Connected());
  EXPECT_FALSE(modem_->IsOpen());
  EXPECT_TRUE(other->IsOpen());
  // The reopened device got the new character format.
  std::vector<BYTE> sizes;
  for (const auto& call : other->Calls())
    if (call.function == "SetCommState") sizes.push_back(call.dcb->ByteSize);
  ASSERT_FALSE(sizes.empty());
  EXPECT_EQ(sizes.back(), 7);
}

TEST_F(SetupDialogTest, FailingSetterReleasesTheHoldAndTheDialog) {
  auto other = Device("COM73");
  port_->OpenPort();
  other->FailNext("CreateFileA", ERROR_ACCESS_DENIED);
  try {
    RunDialog([&](TComSetupFrm* dialog) {
      Pick(dialog->Combo1, "COM73");
      Pick(dialog->Combo2, "2400");
      vcl::testing::ClickControl(dialog->Button1);
    });
    FAIL() << "the failed reopen was not reported";
  } catch (const EComPort& e) {
    EXPECT_EQ(e.EngineCode, ecOpenFailed);
  }
  EXPECT_TRUE(spy_.Destroyed);
  EXPECT_EQ(port_->SettingsUpdateDepth(), 0);
  EXPECT_EQ(port_->BaudRate(), br115200);  // later boxes not applied

  // The port applies settings again.
  port_->SetPort("COM71");
  port_->OpenPort();
  modem_->ClearCalls();
  port_->SetBaudRate(br4800);
  EXPECT_EQ(CallsOf("SetCommState"), 1);
}

TEST_F(SetupDialogTest, EnterPressesOkAndEscapeDoesNotClose) {
  RunDialog([&](TComSetupFrm* dialog) {
    Pick(dialog->Combo4, "2");
    vcl::testing::PressKey(dialog->Combo4, vcl::testing::Key::Escape);
    vcl::testing::ProcessPending();
    EXPECT_EQ(dialog->ModalResult(), vcl::mrNone);
    EXPECT_EQ(vcl::testing::ActiveModalForm(), dialog);
    vcl::testing::PressKey(dialog->Combo4, vcl::testing::Key::Return);
  });
  EXPECT_EQ(port_->StopBits(), sbTwoStopBits);
}

TEST_F(SetupDialogTest, UnreadableDeviceMapShowsNoDialog) {
  struct Case {
    const char* what;
    std::function<void()> fault;
    const char* code;
  };
  const Case cases[] = {
      {"open", [] { win32::FailRegistryOpen(ERROR_FILE_NOT_FOUND); }, "(win error code: 2)"},
      {"enumeration", [] { win32::FailRegistryEnumAt(0, ERROR_MORE_DATA); }, "(win error code: 234)"},
  };
  const Settings before = Current();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    c.fault();
    bool shown = false;
    vcl::TTimer watch(nullptr);  // would answer a dialog that must not appear
    watch.SetInterval(1);
    watch.SetOnTimer(vcl::TNotifyEvent(
        [&](vcl::TObject*) {
          if (vcl::TForm* form = vcl::testing::ActiveModalForm()) {
            shown = true;
            form->SetModalResult(vcl::mrCancel);
          }
        },
        this));
    try {
      port_->ShowSettingsDialog();
      ADD_FAILURE() << "no error";
    } catch (const vcl::EReadError& e) {
      EXPECT_NE(e.Message.find("Combo1.ComProperty"), std::string::npos) << e.Message;
      EXPECT_NE(e.Message.find("Registry error"), std::string::npos) << e.Message;
      EXPECT_NE(e.Message.find(c.code), std::string::npos) << e.Message;
    }
    win32::ClearRegistryFaults();
    EXPECT_FALSE(shown);
    EXPECT_TRUE(Current() == before);
  }
}

}  // namespace
