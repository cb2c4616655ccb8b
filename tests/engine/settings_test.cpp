// The port component's settings as the driver hears them, read from the
// virtual device's call log: the device path, the control block, timeouts,
// queue sizes, the event mask, the update hold and the close.
#include <gtest/gtest.h>

#include <functional>

#include "EngineTestSupport.h"

namespace {

using namespace enginetest;

class PortSettings : public VirtualPortTest {
 protected:
  DCB LastDcb() {
    auto calls = CallsOf(*device_, "SetCommState");
    if (calls.empty() || !calls.back().dcb) {
      ADD_FAILURE() << "no SetCommState";
      return DCB{};
    }
    return *calls.back().dcb;
  }
  int Count(const std::string& function) { return static_cast<int>(CallsOf(*device_, function).size()); }
};

TEST_F(PortSettings, ANewPortHasTheDefaults) {
  TComPort port(nullptr);
  EXPECT_EQ(port.Port(), "COM1");
  EXPECT_EQ(port.BaudRate(), br9600);
  EXPECT_EQ(port.CustomBaudRate(), 9600);
  EXPECT_EQ(port.DataBits(), dbEight);
  EXPECT_EQ(port.StopBits(), sbOneStopBit);
  EXPECT_EQ(port.Parity()->Bits(), prNone);
  EXPECT_EQ(port.FlowControl()->FlowControl(), fcNone);
  EXPECT_EQ(port.Buffer()->InputSize(), 1024);
  EXPECT_EQ(port.Buffer()->OutputSize(), 1024);
  EXPECT_EQ(port.Timeouts()->ReadInterval(), -1);
  EXPECT_EQ(port.Timeouts()->ReadTotalMultiplier(), 0);
  EXPECT_EQ(port.Timeouts()->ReadTotalConstant(), 0);
  EXPECT_EQ(port.Timeouts()->WriteTotalMultiplier(), 100);
  EXPECT_EQ(port.Timeouts()->WriteTotalConstant(), 1000);
  EXPECT_EQ(port.Events(), AllComEvents);
  EXPECT_EQ(port.SyncMethod(), smThreadSync);
  EXPECT_FALSE(port.Connected());
  EXPECT_FALSE(port.DiscardNull());
  EXPECT_EQ(port.EventChar(), 0);
  EXPECT_EQ(port.DeviceHandle(), INVALID_HANDLE_VALUE);
  EXPECT_TRUE(port.RxCharByCount());
  EXPECT_EQ(port.ComponentStyle() & vcl::csInheritable, 0u);
  EXPECT_EQ(port.Parity()->OwnerPort(), &port);
  EXPECT_EQ(port.Buffer()->OwnerPort(), &port);
}

TEST_F(PortSettings, OpenAsksForTheDevicePathExclusivelyAndOverlapped) {
  auto com5 = win32::VirtualDevice::Register("COM5");
  TComPort port(nullptr);
  port.SetPort("COM5");
  port.SetEvents({});
  port.OpenPort();
  auto opens = CallsOf(*com5, "CreateFileA");
  ASSERT_EQ(opens.size(), 1u);
  EXPECT_EQ(opens[0].path, "\\\\.\\COM5");
  EXPECT_EQ(opens[0].arg1, GENERIC_READ | GENERIC_WRITE);
  EXPECT_EQ(opens[0].arg2, 0u);
  EXPECT_TRUE(port.Connected());
  EXPECT_NE(port.DeviceHandle(), INVALID_HANDLE_VALUE);
  port.ClosePort();
  EXPECT_EQ(port.DeviceHandle(), INVALID_HANDLE_VALUE);
  win32::VirtualDevice::Unregister("COM5");
}

struct DcbCase {
  const char* name;
  std::function<void(TCustomComPort&)> set;
  DWORD rate, flags;
  WORD limit;
  BYTE byteSize, parity, stopBits;
  char xon, xoff, errorChar, evtChar;
};

TEST_F(PortSettings, TheControlBlockFollowsEverySetting) {
  const DcbCase table[] = {
      {"defaults", [](TCustomComPort&) {}, 9600, 0x0001, 256, 8, 0, 0, 17, 19, 0, 0},
      {"discard null", [](TCustomComPort& p) { p.SetDiscardNull(true); }, 9600, 0x0801, 256, 8, 0, 0, 17, 19, 0, 0},
      {"format",
       [](TCustomComPort& p) {
         p.SetBaudRate(br115200);
         p.SetDataBits(dbSeven);
         p.SetStopBits(sbTwoStopBits);
         p.Parity()->SetBits(prEven);
       },
       115200, 0x0001, 256, 7, 2, 2, 17, 19, 0, 0},
      {"five bits, 1.5 stop, mark",
       [](TCustomComPort& p) {
         p.SetDataBits(dbFive);
         p.SetStopBits(sbOne5StopBits);
         p.Parity()->SetBits(prMark);
       },
       9600, 0x0001, 256, 5, 3, 1, 17, 19, 0, 0},
      {"custom rate",
       [](TCustomComPort& p) {
         p.SetBaudRate(brCustom);
         p.SetCustomBaudRate(250000);
       },
       250000, 0x0001, 256, 8, 0, 0, 17, 19, 0, 0},
      {"parity check", [](TCustomComPort& p) { p.Parity()->SetCheck(true); }, 9600, 0x0003, 256, 8, 0, 0, 17, 19, 0, 0},
      {"check and replace",
       [](TCustomComPort& p) {
         p.Parity()->SetCheck(true);
         p.Parity()->SetReplace(true);
         p.Parity()->SetReplaceChar('?');
       },
       9600, 0x0403, 256, 8, 0, 0, 17, 19, '?', 0},
      {"replace without check",
       [](TCustomComPort& p) {
         p.Parity()->SetReplace(true);
         p.Parity()->SetReplaceChar('?');
       },
       9600, 0x0001, 256, 8, 0, 0, 17, 19, 0, 0},
      {"hardware", [](TCustomComPort& p) { p.FlowControl()->SetFlowControl(fcHardware); }, 9600, 0x2005, 256, 8, 0, 0, 17, 19, 0, 0},
      {"software", [](TCustomComPort& p) { p.FlowControl()->SetFlowControl(fcSoftware); }, 9600, 0x0301, 256, 8, 0, 0, 17, 19, 0, 0},
      {"dtr enable", [](TCustomComPort& p) { p.FlowControl()->SetControlDTR(dtrEnable); }, 9600, 0x0011, 256, 8, 0, 0, 17, 19, 0, 0},
      {"dtr handshake", [](TCustomComPort& p) { p.FlowControl()->SetControlDTR(dtrHandshake); }, 9600, 0x0021, 256, 8, 0, 0, 17, 19, 0, 0},
      {"rts enable", [](TCustomComPort& p) { p.FlowControl()->SetControlRTS(rtsEnable); }, 9600, 0x1001, 256, 8, 0, 0, 17, 19, 0, 0},
      {"rts toggle", [](TCustomComPort& p) { p.FlowControl()->SetControlRTS(rtsToggle); }, 9600, 0x3001, 256, 8, 0, 0, 17, 19, 0, 0},
      {"dsr flow, sensitivity, continue",
       [](TCustomComPort& p) {
         p.FlowControl()->SetOutDSRFlow(true);
         p.FlowControl()->SetDSRSensitivity(true);
         p.FlowControl()->SetTxContinueOnXoff(true);
       },
       9600, 0x00C9, 256, 8, 0, 0, 17, 19, 0, 0},
      {"characters",
       [](TCustomComPort& p) {
         p.FlowControl()->SetXonChar('Q');
         p.FlowControl()->SetXoffChar('S');
         p.SetEventChar('\r');
       },
       9600, 0x0001, 256, 8, 0, 0, 'Q', 'S', 0, '\r'},
      {"input queue 4096", [](TCustomComPort& p) { p.Buffer()->SetInputSize(4096); }, 9600, 0x0001, 1024, 8, 0, 0, 17, 19, 0, 0},
      {"everything",
       [](TCustomComPort& p) {
         p.SetDiscardNull(true);
         p.Parity()->SetCheck(true);
         p.Parity()->SetReplace(true);
         p.FlowControl()->SetOutCTSFlow(true);
         p.FlowControl()->SetOutDSRFlow(true);
         p.FlowControl()->SetControlDTR(dtrHandshake);
         p.FlowControl()->SetDSRSensitivity(true);
         p.FlowControl()->SetTxContinueOnXoff(true);
         p.FlowControl()->SetXonXoffOut(true);
         p.FlowControl()->SetXonXoffIn(true);
         p.FlowControl()->SetControlRTS(rtsToggle);
       },
       9600, 0x3FEF, 256, 8, 0, 0, 17, 19, 0, 0},
  };
  for (const auto& c : table) {
    SCOPED_TRACE(c.name);
    TComPort port(nullptr);
    port.SetPort(name_);
    port.SetEvents({});
    c.set(port);
    device_->ClearCalls();
    port.OpenPort();
    ASSERT_EQ(Count("SetCommState"), 1);
    const DCB d = LastDcb();
    EXPECT_EQ(d.DCBlength, 28u);
    EXPECT_EQ(d.BaudRate, c.rate);
    EXPECT_EQ(d.Flags, c.flags) << std::hex << d.Flags;
    EXPECT_EQ(d.XonLim, c.limit);
    EXPECT_EQ(d.XoffLim, c.limit);
    EXPECT_EQ(d.ByteSize, c.byteSize);
    EXPECT_EQ(d.Parity, c.parity);
    EXPECT_EQ(d.StopBits, c.stopBits);
    EXPECT_EQ(d.XonChar, c.xon);
    EXPECT_EQ(d.XoffChar, c.xoff);
    EXPECT_EQ(d.ErrorChar, c.errorChar);
    EXPECT_EQ(d.EvtChar, c.evtChar);
    EXPECT_EQ(d.EofChar, 0);
    EXPECT_EQ(d.wReserved, 0);
    EXPECT_EQ(d.wReserved1, 0);
    port.ClosePort();
  }
}

TEST_F(PortSettings, TimeoutsGoOverAsThirtyTwoBitPatterns) {
  port_->SetEvents({});
  port_->OpenPort();
  auto calls = CallsOf(*device_, "SetCommTimeouts");
  ASSERT_EQ(calls.size(), 1u);
  ASSERT_TRUE(calls[0].timeouts);
  EXPECT_EQ(calls[0].timeouts->ReadIntervalTimeout, MAXDWORD);
  EXPECT_EQ(calls[0].timeouts->ReadTotalTimeoutMultiplier, 0u);
  EXPECT_EQ(calls[0].timeouts->ReadTotalTimeoutConstant, 0u);
  EXPECT_EQ(calls[0].timeouts->WriteTotalTimeoutMultiplier, 100u);
  EXPECT_EQ(calls[0].timeouts->WriteTotalTimeoutConstant, 1000u);

  port_->Timeouts()->SetReadTotalConstant(-2);
  calls = CallsOf(*device_, "SetCommTimeouts");
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[1].timeouts->ReadTotalTimeoutConstant, 0xFFFFFFFEu);
}

TEST_F(PortSettings, QueueSizesReachSetupCommAndOddSizesAreEvened) {
  port_->SetEvents({});
  port_->Buffer()->SetInputSize(4096);
  port_->Buffer()->SetOutputSize(1025);
  EXPECT_EQ(port_->Buffer()->OutputSize(), 1024);
  port_->Buffer()->SetOutputSize(1);
  EXPECT_EQ(port_->Buffer()->OutputSize(), 0);
  port_->Buffer()->SetOutputSize(-3);
  EXPECT_EQ(port_->Buffer()->OutputSize(), -3);
  port_->Buffer()->SetOutputSize(2048);
  port_->OpenPort();
  auto calls = CallsOf(*device_, "SetupComm");
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].arg1, 4096u);
  EXPECT_EQ(calls[0].arg2, 2048u);
  EXPECT_EQ(LastDcb().XonLim, 1024);

  // A new size reaches SetupComm at once; the limits follow only at the next
  // control block.
  port_->Buffer()->SetInputSize(8192);
  ASSERT_EQ(Count("SetupComm"), 2);
  EXPECT_EQ(Count("SetCommState"), 1);
  port_->SetBaudRate(br19200);
  EXPECT_EQ(LastDcb().XonLim, 2048);
}

TEST_F(PortSettings, OpenSetsTheWatchedEventsAsTheDriverMask) {
  port_->OpenPort();
  auto masks = CallsOf(*device_, "SetCommMask");
  ASSERT_GE(masks.size(), 1u);
  EXPECT_EQ(masks[0].arg1, 0x05FFu);
  EXPECT_TRUE(port_->HasEventThread());
  port_->ClosePort();

  port_->SetEvents({evRxChar, evCTS, evRx80Full});
  device_->ClearCalls();
  port_->OpenPort();
  masks = CallsOf(*device_, "SetCommMask");
  ASSERT_GE(masks.size(), 1u);
  EXPECT_EQ(masks[0].arg1, 0x0409u);
}

TEST_F(PortSettings, WithoutEventsThereIsNoThreadButTheAnnouncementsRun) {
  port_->SetEvents({});
  port_->SetSyncMethod(smWindowSync);
  RecordPortEvents(*port_, rec_);
  port_->OpenPort();
  EXPECT_FALSE(port_->HasEventThread());
  EXPECT_EQ(port_->EventThread(), nullptr);
  EXPECT_EQ(port_->NotifyWindow(), nullptr);
  EXPECT_EQ(Count("SetCommMask"), 0);
  EXPECT_EQ(Count("WaitCommEvent"), 0);
  port_->ClosePort();
  EXPECT_EQ(rec_.Entries(), (std::vector<std::string>{"BeforeOpen", "AfterOpen", "CTS=0", "DSR=0", "RLSD=0",
                                                      "CTS=0", "DSR=0", "RLSD=0", "BeforeClose", "AfterClose"}));
}

TEST_F(PortSettings, OpenAppliesQueuesLineAndTimeoutsInOrderBeforeTheThread) {
  port_->OpenPort();
  auto names = CallNames(*device_);
  auto at = [&](const std::string& f) {
    for (std::size_t i = 0; i < names.size(); ++i)
      if (names[i] == f) return static_cast<int>(i);
    return -1;
  };
  EXPECT_EQ(at("CreateFileA"), 0);
  EXPECT_EQ(at("SetupComm"), 1);
  EXPECT_EQ(at("SetCommState"), 2);
  EXPECT_EQ(at("SetCommTimeouts"), 3);
  EXPECT_EQ(at("SetCommMask"), 4);
  EXPECT_EQ(Count("GetCommModemStatus"), 3);  // CTS, DSR, RLSD after OnAfterOpen
}

TEST_F(PortSettings, TheUpdateHoldGivesOneCallOfEachKindAtItsEnd) {
  port_->SetEvents({});
  port_->OpenPort();
  device_->ClearCalls();
  port_->BeginSettingsUpdate();
  port_->BeginSettingsUpdate();
  port_->SetBaudRate(br57600);
  port_->SetDataBits(dbSeven);
  port_->Parity()->SetBits(prOdd);
  port_->Timeouts()->SetReadInterval(10);
  port_->Buffer()->SetInputSize(2048);
  EXPECT_EQ(port_->SettingsUpdateDepth(), 2);
  EXPECT_TRUE(device_->Calls().empty());
  port_->EndSettingsUpdate();
  EXPECT_TRUE(device_->Calls().empty());
  port_->EndSettingsUpdate();
  EXPECT_EQ(CallNames(*device_), (std::vector<std::string>{"SetupComm", "SetCommState", "SetCommTimeouts"}));
  EXPECT_EQ(LastDcb().BaudRate, 57600u);
  EXPECT_EQ(LastDcb().ByteSize, 7);
  EXPECT_EQ(LastDcb().Parity, 1);
  port_->EndSettingsUpdate();
  EXPECT_EQ(device_->Calls().size(), 3u);
  EXPECT_EQ(port_->SettingsUpdateDepth(), 0);
}

struct SetterCase {
  const char* name;
  std::function<void(TCustomComPort&)> change;
  const char* call;  // the one driver call expected, or "" for none
};

TEST_F(PortSettings, EachChangeOnAnOpenPortReachesTheDriverOnce) {
  TComTimeouts timeouts;
  timeouts.SetReadInterval(5);
  TComBuffer buffer;
  buffer.SetInputSize(512);
  TComParity parity;
  parity.SetBits(prSpace);
  TComFlowControl flow;
  flow.SetFlowControl(fcSoftware);
  const SetterCase table[] = {
      {"BaudRate", [](TCustomComPort& p) { p.SetBaudRate(br38400); }, "SetCommState"},
      {"same BaudRate", [](TCustomComPort& p) { p.SetBaudRate(br9600); }, ""},
      {"CustomBaudRate", [](TCustomComPort& p) { p.SetCustomBaudRate(1234); }, "SetCommState"},
      {"DataBits", [](TCustomComPort& p) { p.SetDataBits(dbSix); }, "SetCommState"},
      {"StopBits", [](TCustomComPort& p) { p.SetStopBits(sbTwoStopBits); }, "SetCommState"},
      {"DiscardNull", [](TCustomComPort& p) { p.SetDiscardNull(true); }, "SetCommState"},
      {"EventChar", [](TCustomComPort& p) { p.SetEventChar('#'); }, "SetCommState"},
      {"Parity.Check", [](TCustomComPort& p) { p.Parity()->SetCheck(true); }, "SetCommState"},
      {"FlowControl.XonChar", [](TCustomComPort& p) { p.FlowControl()->SetXonChar(1); }, "SetCommState"},
      {"FlowControl fcCustom", [](TCustomComPort& p) { p.FlowControl()->SetFlowControl(fcCustom); }, "SetCommState"},
      {"Timeouts.WriteTotalConstant", [](TCustomComPort& p) { p.Timeouts()->SetWriteTotalConstant(7); }, "SetCommTimeouts"},
      {"same timeout", [](TCustomComPort& p) { p.Timeouts()->SetWriteTotalConstant(1000); }, ""},
      {"Buffer.OutputSize", [](TCustomComPort& p) { p.Buffer()->SetOutputSize(4096); }, "SetupComm"},
      {"Events", [](TCustomComPort& p) { p.SetEvents({evRing}); }, ""},
      {"SetParity", [&](TCustomComPort& p) { p.SetParity(&parity); }, "SetCommState"},
      {"SetFlowControl", [&](TCustomComPort& p) { p.SetFlowControl(&flow); }, "SetCommState"},
      {"SetTimeouts", [&](TCustomComPort& p) { p.SetTimeouts(&timeouts); }, "SetCommTimeouts"},
      {"SetBuffer", [&](TCustomComPort& p) { p.SetBuffer(&buffer); }, "SetupComm"},
  };
  for (const auto& c : table) {
    SCOPED_TRACE(c.name);
    TComPort port(nullptr);
    port.SetPort(name_);
    port.SetEvents({});
    port.OpenPort();
    device_->ClearCalls();
    c.change(port);
    const auto names = CallNames(*device_);
    if (*c.call)
      EXPECT_EQ(names, std::vector<std::string>{c.call});
    else
      EXPECT_TRUE(names.empty());
    port.ClosePort();
  }
  // Copies carry every setting but not the owner.
  TComPort port(nullptr);
  port.SetParity(&parity);
  port.SetFlowControl(&flow);
  port.SetTimeouts(&timeouts);
  port.SetBuffer(&buffer);
  EXPECT_EQ(port.Parity()->Bits(), prSpace);
  EXPECT_EQ(port.FlowControl()->FlowControl(), fcSoftware);
  EXPECT_EQ(port.Timeouts()->ReadInterval(), 5);
  EXPECT_EQ(port.Buffer()->InputSize(), 512);
  EXPECT_EQ(port.Parity()->OwnerPort(), &port);
  EXPECT_EQ(parity.OwnerPort(), nullptr);
}

TEST_F(PortSettings, CopyingBetweenUnrelatedSettingsIsAConversionError) {
  TComParity parity;
  TComTimeouts timeouts;
  EXPECT_THROW(parity.Assign(&timeouts), vcl::EConvertError);
  EXPECT_THROW(port_->SetBuffer(nullptr), vcl::EConvertError);
}

TEST_F(PortSettings, FlowControlStylesReadAndWrite) {
  TComFlowControl flow;
  flow.SetControlDTR(dtrEnable);
  flow.SetFlowControl(fcHardware);
  EXPECT_EQ(flow.ControlRTS(), rtsHandshake);
  EXPECT_TRUE(flow.OutCTSFlow());
  EXPECT_EQ(flow.ControlDTR(), dtrEnable);
  EXPECT_EQ(flow.FlowControl(), fcHardware);
  flow.SetControlDTR(dtrHandshake);
  flow.SetOutDSRFlow(true);
  EXPECT_EQ(flow.FlowControl(), fcHardware);
  flow.SetFlowControl(fcSoftware);
  EXPECT_EQ(flow.ControlRTS(), rtsDisable);
  EXPECT_FALSE(flow.OutCTSFlow());
  EXPECT_TRUE(flow.XonXoffIn() && flow.XonXoffOut());
  EXPECT_EQ(flow.FlowControl(), fcSoftware);
  flow.SetXonXoffIn(false);
  EXPECT_EQ(flow.FlowControl(), fcCustom);
  flow.SetFlowControl(fcCustom);
  EXPECT_FALSE(flow.XonXoffIn());
  EXPECT_TRUE(flow.XonXoffOut());
  flow.SetFlowControl(fcNone);
  EXPECT_EQ(flow.FlowControl(), fcNone);
  flow.SetControlRTS(rtsEnable);
  EXPECT_EQ(flow.FlowControl(), fcCustom);
}

TEST_F(PortSettings, ANewPortNameReopensAndSyncMethodIsLockedWhileOpen) {
  port_->SetEvents({});
  RecordPortEvents(*port_, rec_);
  port_->SetSyncMethod(smNone);
  port_->SetSyncMethod(smThreadSync);
  port_->OpenPort();
  try {
    port_->SetSyncMethod(smWindowSync);
    ADD_FAILURE() << "no exception";
  } catch (const EComPort& e) {
    EXPECT_EQ(e.EngineCode, ecChangeWhileOpen);
    EXPECT_EQ(e.SystemErrorCode, -1);
    EXPECT_EQ(e.Message, "Cannot set property while connected");
  }
  EXPECT_EQ(port_->SyncMethod(), smThreadSync);

  // The same name in lower case is another name: the device is reopened
  // (the virtual device answers to it case-insensitively).
  std::string lower = name_;
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  rec_.Clear();
  device_->ClearCalls();
  port_->SetPort(lower);
  EXPECT_TRUE(port_->Connected());
  EXPECT_EQ(Count("CreateFileA"), 1);
  EXPECT_EQ(CallsOf(*device_, "CreateFileA")[0].path, "\\\\.\\" + lower);
  EXPECT_TRUE(rec_.Contains("AfterClose"));
  EXPECT_TRUE(rec_.Contains("AfterOpen"));
  device_->ClearCalls();
  port_->SetPort(lower);
  EXPECT_TRUE(device_->Calls().empty());
}

TEST_F(PortSettings, OpenTwiceAndCloseTwiceDoNothing) {
  RecordPortEvents(*port_, rec_);
  port_->ClosePort();
  EXPECT_EQ(rec_.Size(), 0u);
  port_->OpenPort();
  rec_.Clear();
  device_->ClearCalls();
  port_->OpenPort();
  EXPECT_EQ(rec_.Size(), 0u);
  EXPECT_TRUE(device_->Calls().empty());
  port_->SetConnected(false);
  EXPECT_FALSE(port_->Connected());
  rec_.Clear();
  port_->SetConnected(false);
  EXPECT_EQ(rec_.Size(), 0u);
}

TEST_F(PortSettings, CloseCancelsTransfersThenTheThreadEmptiesTheQueuesBeforeTheHandleCloses) {
  port_->OpenPort();
  device_->ClearCalls();
  port_->ClosePort();
  const auto calls = device_->Calls();
  std::vector<std::string> shape;
  for (const auto& c : calls) {
    if (c.function == "PurgeComm" || c.function == "SetCommMask")
      shape.push_back(c.function + "(" + std::to_string(c.arg1) + ")");
    else if (c.function == "CloseHandle")
      shape.push_back(c.function);
  }
  EXPECT_EQ(shape, (std::vector<std::string>{"PurgeComm(3)", "SetCommMask(0)", "PurgeComm(12)", "CloseHandle"}));
  EXPECT_FALSE(port_->Connected());
  EXPECT_FALSE(port_->HasEventThread());
  EXPECT_EQ(port_->DeviceHandle(), INVALID_HANDLE_VALUE);
}

TEST_F(PortSettings, WhileLoadingTheConnectionIsRecordedAndLoadedOpens) {
  ShownErrors shown;
  port_->SetEvents({});
  port_->SetComponentState(vcl::csLoading, true);
  port_->SetConnected(true);
  port_->SetBaudRate(br115200);
  EXPECT_TRUE(port_->Connected());
  EXPECT_TRUE(device_->Calls().empty());
  port_->Loaded();
  EXPECT_TRUE(port_->Connected());
  ASSERT_EQ(CallsOf(*device_, "SetCommState").size(), 1u);
  EXPECT_EQ(LastDcb().BaudRate, 115200u);

  // A failing open in Loaded is shown, not raised.
  TComPort other(nullptr);
  other.SetPort("VNOSUCHPORT");
  other.SetComponentState(vcl::csLoading, true);
  other.SetConnected(true);
  EXPECT_NO_THROW(other.Loaded());
  EXPECT_FALSE(other.Connected());
  ASSERT_EQ(shown.Count(), 1u);
  EXPECT_EQ(shown.Messages()[0], "Unable to open com port (win error code: 2)");
}

TEST_F(PortSettings, InDesignModeThePortStaysClosed) {
  port_->SetComponentState(vcl::csDesigning, true);
  port_->OpenPort();
  port_->SetConnected(true);
  EXPECT_TRUE(CallsOf(*device_, "CreateFileA").empty());
}

TEST_F(PortSettings, TComPortIsPublishedForLayouts) {
  RegisterEngineClasses();
  RegisterEngineClasses();
  const vcl::TClassInfo* info = vcl::FindClass("TComPort");
  ASSERT_EQ(info, TComPort::StaticClassInfo());
  ASSERT_TRUE(info->Create());
  std::unique_ptr<vcl::TComponent> made(info->Create()(nullptr));
  ASSERT_NE(dynamic_cast<TComPort*>(made.get()), nullptr);
  EXPECT_EQ(made->ClassName(), "TComPort");
  for (const char* prop : {"Connected", "BaudRate", "Port", "Parity", "StopBits", "DataBits", "DiscardNull",
                           "EventChar", "Events", "Buffer", "FlowControl", "Timeouts", "SyncMethod",
                           "OnAfterOpen", "OnAfterClose", "OnBeforeOpen", "OnBeforeClose", "OnRxChar",
                           "OnRxBuf", "OnTxEmpty", "OnBreak", "OnRing", "OnCTSChange", "OnDSRChange",
                           "OnRLSDChange", "OnRxFlag", "OnError", "OnRx80Full"})
    EXPECT_NE(info->FindProp(prop), nullptr) << prop;
  EXPECT_EQ(info->FindProp("CustomBaudRate"), nullptr);
  ASSERT_NE(info->FindProp("FlowControl")->subObject, nullptr);
  auto* port = static_cast<TComPort*>(made.get());
  EXPECT_EQ(info->FindProp("Parity")->subObject(port), port->Parity());
  EXPECT_NE(port->Parity()->ClassInfo()->FindProp("Bits"), nullptr);
  EXPECT_NE(port->FlowControl()->ClassInfo()->FindProp("ControlDTR"), nullptr);
  EXPECT_NE(port->Timeouts()->ClassInfo()->FindProp("ReadInterval"), nullptr);
  EXPECT_NE(port->Buffer()->ClassInfo()->FindProp("InputSize"), nullptr);
}

}  // namespace
