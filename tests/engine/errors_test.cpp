// Every engine error an operation raises, with its message and system code,
// including failures injected on the virtual device at each driver call,
// and the state each failure leaves behind.
#include <gtest/gtest.h>

#include <functional>

#include "EngineTestSupport.h"

namespace {

using namespace enginetest;

class Errors : public VirtualPortTest {
 protected:
  // Runs `op` and returns the EComPort it raised (EngineCode 0 when none).
  static EComPort Raised(const std::function<void()>& op) {
    try {
      op();
    } catch (const EComPort& e) {
      return e;
    }
    EComPort none(0, 0);
    none.EngineCode = 0;
    return none;
  }
};

struct DriverFailure {
  const char* function;  // the driver call made to fail
  DWORD error;
  bool openFirst;        // the operation runs on an open port
  std::function<void(TestPort&)> op;
  int code;
  const char* message;
  bool connectedAfter;
};

// The transfers run on a port without an event thread, so that only the
// operation under test makes the failing call.
TEST_F(Errors, EachFailingDriverCallRaisesItsCode) {
  auto send = [](TestPort& p) { p.SendText("AT"); };
  auto receive = [](TestPort& p) {
    std::string t;
    p.ReceiveText(t, 4);
  };
  const DriverFailure table[] = {
      {"CreateFileA", 5, false, [](TestPort& p) { p.OpenPort(); }, 1, "Unable to open com port (win error code: 5)", false},
      {"SetupComm", 87, false, [](TestPort& p) { p.OpenPort(); }, 9, "SetupComm function failed (win error code: 87)", false},
      {"SetCommState", 87, false, [](TestPort& p) { p.OpenPort(); }, 7, "SetCommState function failed (win error code: 87)", false},
      {"SetCommTimeouts", 87, false, [](TestPort& p) { p.OpenPort(); }, 8, "SetCommTimeouts failed (win error code: 87)", false},
      {"GetCommModemStatus", 31, false, [](TestPort& p) { p.OpenPort(); }, 11,
       "GetCommModemStatus function failed (win error code: 31)", true},
      {"SetCommState", 31, true, [](TestPort& p) { p.SetBaudRate(br2400); }, 7, "SetCommState function failed (win error code: 31)", true},
      {"SetCommTimeouts", 31, true, [](TestPort& p) { p.Timeouts()->SetReadInterval(3); }, 8, "SetCommTimeouts failed (win error code: 31)", true},
      {"SetupComm", 31, true, [](TestPort& p) { p.Buffer()->SetInputSize(64); }, 9, "SetupComm function failed (win error code: 31)", true},
      {"WriteFile", 31, true, send, 2, "WriteFile function failed (win error code: 31)", true},
      {"GetOverlappedResult", 31, true, send, 2, "WriteFile function failed (win error code: 31)", true},
      {"ReadFile", 31, true, receive, 3, "ReadFile function failed (win error code: 31)", true},
      {"GetOverlappedResult", 31, true, receive, 3, "ReadFile function failed (win error code: 31)", true},
      {"ClearCommError", 31, true, receive, 10, "ClearCommError function failed (win error code: 31)", true},
      {"ClearCommError", 31, true, [](TestPort& p) { p.PendingInputCount(); }, 10,
       "ClearCommError function failed (win error code: 31)", true},
      {"ClearCommError", 31, true, [](TestPort& p) { p.ReadLineErrors(); }, 10,
       "ClearCommError function failed (win error code: 31)", true},
      {"GetCommModemStatus", 31, true, [](TestPort& p) { p.ReadLineSignals(); }, 11,
       "GetCommModemStatus function failed (win error code: 31)", true},
      {"PurgeComm", 31, true, [](TestPort& p) { p.ClosePort(); }, 5, "PurgeComm function failed (win error code: 31)", false},
  };
  for (const auto& c : table) {
    SCOPED_TRACE(std::string(c.function) + " / " + c.message);
    TestPort port(nullptr);
    port.SetPort(name_);
    port.SetEvents({});
    RecordPortEvents(port, rec_);
    port.OnRxChar = nullptr;
    rec_.Clear();
    if (c.openFirst) port.OpenPort();
    device_->Feed("data");
    device_->FailNext(c.function, c.error);
    const EComPort e = Raised([&] { c.op(port); });
    EXPECT_EQ(e.EngineCode, c.code);
    EXPECT_EQ(e.SystemErrorCode, static_cast<int>(c.error));
    EXPECT_EQ(e.Message, c.message);
    EXPECT_EQ(port.Connected(), c.connectedAfter);
    EXPECT_EQ(port.DeviceHandle() != INVALID_HANDLE_VALUE, c.connectedAfter);
    if (!c.openFirst) {
      EXPECT_TRUE(rec_.Contains("BeforeOpen"));
      EXPECT_EQ(rec_.Contains("AfterOpen"), c.connectedAfter);
    }
    port.ClosePort();
  }
}

TEST_F(Errors, AFailedOpenLeavesNoThreadAndClosesTheDevice) {
  device_->FailNext("SetCommState", 87);
  EXPECT_THROW(port_->OpenPort(), EComPort);
  EXPECT_FALSE(port_->HasEventThread());
  EXPECT_FALSE(device_->IsOpen());
  EXPECT_TRUE(CallsOf(*device_, "SetCommMask").empty());
  // The port can be opened again afterwards.
  port_->OpenPort();
  EXPECT_TRUE(port_->HasEventThread());
}

TEST_F(Errors, AFailedSettingKeepsItsValueOnTheOpenPort) {
  port_->OpenPort();
  device_->FailNext("SetCommState", 31);
  EXPECT_THROW(port_->SetDataBits(dbSix), EComPort);
  EXPECT_EQ(port_->DataBits(), dbSix);
  EXPECT_TRUE(port_->Connected());
}

TEST_F(Errors, AMissingRequestIsABadRequest) {
  PAsync none = nullptr;
  char buffer[4];
  for (auto op : std::vector<std::function<void()>>{[&] { port_->StartWrite("x", 1, none); },
                                                    [&] { port_->StartRead(buffer, 4, none); },
                                                    [&] { port_->WaitForRequest(none); }}) {
    const EComPort e = Raised(op);
    EXPECT_EQ(e.EngineCode, ecBadRequest);
    EXPECT_EQ(e.SystemErrorCode, -1);
    EXPECT_EQ(e.Message, "Invalid Async parameter");
  }
}

// A closed port has no device: transfers and queries fail with the engine's
// codes instead of touching a stale handle; empty transfers do nothing.
TEST_F(Errors, AClosedPortRefusesTransfers) {
  port_->OpenPort();
  port_->ClosePort();
  std::string text = "keep";
  EXPECT_EQ(port_->SendText(""), 0);
  EXPECT_EQ(port_->ReceiveText(text, 0), 0);
  EXPECT_TRUE(text.empty());
  EXPECT_EQ(Raised([&] { port_->SendText("x"); }).EngineCode, ecWriteFailed);
  EXPECT_EQ(Raised([&] { port_->ReceiveText(text, 3); }).EngineCode, ecReadFailed);
  EXPECT_EQ(text.size(), 3u);  // the length the read was started with
  EXPECT_EQ(Raised([&] { port_->PendingInputCount(); }).EngineCode, ecClearErrorFailed);
  EXPECT_EQ(Raised([&] { port_->ReadLineSignals(); }).EngineCode, ecModemStatusFailed);
  const EComPort e = Raised([&] { port_->SendText("x"); });
  EXPECT_EQ(e.SystemErrorCode, static_cast<int>(ERROR_INVALID_HANDLE));
}

// The driver's wait for line events fails at once (refused outright, or
// because the event mask was refused and there is nothing to wait for): the
// event thread must not spin on its signalled event. It ends, the user is
// shown the failure once, and the port still closes.
TEST_F(Errors, AFailingEventWaitEndsTheThreadAndIsShown) {
  const struct {
    const char* function;
    const char* shown;
  } table[] = {
      {"WaitCommEvent", "WaitForEvent method failed (win error code: 31)"},
      {"SetCommMask", "WaitForEvent method failed (win error code: 87)"},
  };
  for (const auto& c : table) {
    SCOPED_TRACE(c.function);
    ShownErrors shown;
    device_->ClearCalls();
    device_->FailNext(c.function, 31);
    port_->OpenPort();
    ASSERT_TRUE(Pump([&] { return shown.Count() > 0; }));
    EXPECT_EQ(shown.Messages(), std::vector<std::string>{c.shown});
    EXPECT_EQ(CallsOf(*device_, "WaitCommEvent").size(), 1u);
    port_->ClosePort();
    EXPECT_FALSE(port_->Connected());
    EXPECT_EQ(CallsOf(*device_, "WaitCommEvent").size(), 1u);
  }
}

}  // namespace
