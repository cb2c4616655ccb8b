// The port read from a window layout: published properties by name, the
// setting objects through dotted names, the event set, a handler bound by
// name, and Connected recorded while loading and opened by Loaded with all
// the stored settings in one go.
#include <gtest/gtest.h>

#include "EngineTestSupport.h"

namespace {

using namespace enginetest;

class TTestForm : public vcl::TComponent {
 public:
  using vcl::TComponent::TComponent;
  void ComPortOpen(vcl::TObject* sender) {
    ++opened;
    openedBy = sender;
  }
  const vcl::TClassInfo* ClassInfo() const override { return StaticClassInfo(); }
  static const vcl::TClassInfo* StaticClassInfo() {
    static const vcl::TClassInfo info = [] {
      vcl::TClassInfo i("TTestForm", vcl::TComponent::StaticClassInfo());
      i.Add(vcl::PublishedMethod("ComPortOpen", &TTestForm::ComPortOpen));
      return i;
    }();
    return &info;
  }
  int opened = 0;
  vcl::TObject* openedBy = nullptr;
};

class Layout : public VirtualPortTest {};

TEST_F(Layout, StoredSettingsReachTheDriverOnceWhenLoadedOpensThePort) {
  RegisterEngineClasses();
  TTestForm form(nullptr);
  form.SetName("TestForm");
  const std::string text = "object TestForm: TTestForm\n"
                           "  object ComPort: TComPort\n"
                           "    Connected = True\n"
                           "    BaudRate = br115200\n"
                           "    Port = '" + name_ + "'\n"
                           "    Parity.Bits = prEven\n"
                           "    StopBits = sbTwoStopBits\n"
                           "    DataBits = dbSeven\n"
                           "    DiscardNull = True\n"
                           "    EventChar = #13\n"
                           "    Events = [evRxChar, evTxEmpty, evCTS]\n"
                           "    Buffer.InputSize = 4096\n"
                           "    FlowControl.ControlDTR = dtrEnable\n"
                           "    FlowControl.OutCTSFlow = True\n"
                           "    Timeouts.ReadInterval = 5\n"
                           "    SyncMethod = smWindowSync\n"
                           "    OnAfterOpen = ComPortOpen\n"
                           "  end\n"
                           "end\n";
  vcl::TReader reader(&form);
  reader.ReadRoot(text);
  auto* port = dynamic_cast<TComPort*>(form.FindComponent("ComPort"));
  ASSERT_NE(port, nullptr);
  EXPECT_TRUE(port->Connected());
  EXPECT_EQ(form.opened, 1);
  EXPECT_EQ(form.openedBy, port);
  EXPECT_EQ(port->SyncMethod(), smWindowSync);
  EXPECT_NE(port->NotifyWindow(), nullptr);
  EXPECT_EQ(port->Events(), (TComEvents{evRxChar, evTxEmpty, evCTS}));

  // The event thread's own wait runs beside the open; it is left out here.
  std::vector<std::string> names;
  std::vector<win32::DeviceCall> calls;
  for (const auto& c : device_->Calls())
    if (c.function != "WaitCommEvent") {
      names.push_back(c.function);
      calls.push_back(c);
    }
  EXPECT_EQ(names, (std::vector<std::string>{"CreateFileA", "SetupComm", "SetCommState",
                                                           "SetCommTimeouts", "SetCommMask", "GetCommModemStatus",
                                                           "GetCommModemStatus", "GetCommModemStatus"}));
  ASSERT_GE(calls.size(), 5u);
  EXPECT_EQ(calls[1].arg1, 4096u);
  const DCB& d = *calls[2].dcb;
  EXPECT_EQ(d.BaudRate, 115200u);
  EXPECT_EQ(d.Flags, 0x0815u);  // fBinary, fOutxCtsFlow, DTR enable, fNull
  EXPECT_EQ(d.Parity, EVENPARITY);
  EXPECT_EQ(d.StopBits, TWOSTOPBITS);
  EXPECT_EQ(d.ByteSize, 7);
  EXPECT_EQ(d.EvtChar, '\r');
  EXPECT_EQ(d.XonLim, 1024);
  EXPECT_EQ(calls[3].timeouts->ReadIntervalTimeout, 5u);
  EXPECT_EQ(calls[4].arg1, EV_RXCHAR | EV_TXEMPTY | EV_CTS);
  form.DestroyComponents();
  EXPECT_FALSE(device_->IsOpen());
}

TEST_F(Layout, ABadValueNamesTheComponentAndTheProperty) {
  RegisterEngineClasses();
  TTestForm form(nullptr);
  form.SetName("TestForm");
  vcl::TReader reader(&form);
  try {
    reader.ReadRoot("object TestForm: TTestForm\n  object ComPort: TComPort\n    BaudRate = br31250\n  end\nend\n");
    ADD_FAILURE() << "no error";
  } catch (const vcl::EReadError& e) {
    EXPECT_NE(e.Message.find("ComPort.BaudRate"), std::string::npos) << e.Message;
  }
}

}  // namespace
