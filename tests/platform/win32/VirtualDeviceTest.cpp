// What only the virtual device can show: the call log, modem lines, line
// errors and breaks, output held back, flow control and fault injection.
#include <gtest/gtest.h>

#include "Support.h"

using namespace w32test;

namespace {

class VirtualDeviceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    handle_ = OpenPort(far_.PortName());
    ASSERT_NE(handle_, INVALID_HANDLE_VALUE);
  }
  void TearDown() override {
    if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
  }
  // The engine's opening sequence.
  void Configure(DCB dcb = EngineDcb(), COMMTIMEOUTS t = EngineTimeouts()) {
    ASSERT_TRUE(SetupComm(handle_, 1024, 1024));
    ASSERT_TRUE(SetCommState(handle_, &dcb));
    ASSERT_TRUE(SetCommTimeouts(handle_, &t));
  }
  win32::VirtualDevice& Device() { return far_.Device(); }
  DWORD Errors() {
    DWORD errors = kSentinel;
    EXPECT_TRUE(ClearCommError(handle_, &errors, nullptr));
    return errors;
  }

  VirtualFar far_;
  HANDLE handle_ = INVALID_HANDLE_VALUE;
};

TEST_F(VirtualDeviceTest, LogsEveryCallWithItsArguments) {
  Configure();
  ASSERT_TRUE(SetCommMask(handle_, 0x05FF));
  ASSERT_TRUE(PurgeComm(handle_, 3));
  ASSERT_TRUE(PurgeComm(handle_, 12));
  EXPECT_EQ(WriteAll(handle_, "AT\r"), 3u);
  CloseHandle(handle_);
  handle_ = INVALID_HANDLE_VALUE;

  const auto calls = Device().Calls();
  std::vector<std::string> names;
  for (const auto& c : calls) names.push_back(c.function);
  const std::vector<std::string> expected = {
      "CreateFileA", "SetupComm", "SetCommState", "SetCommTimeouts", "SetCommMask", "PurgeComm",
      "PurgeComm",   "WriteFile", "GetOverlappedResult", "CloseHandle"};
  ASSERT_EQ(names, expected);
  EXPECT_EQ(calls[0].path, "\\\\.\\" + far_.PortName());
  EXPECT_EQ(calls[0].arg1, GENERIC_READ | GENERIC_WRITE);
  EXPECT_EQ(calls[1].arg1, 1024u);
  EXPECT_EQ(calls[1].arg2, 1024u);
  ASSERT_TRUE(calls[2].dcb.has_value());
  EXPECT_EQ(calls[2].dcb->BaudRate, 115200u);
  EXPECT_EQ(calls[2].dcb->Flags, DCB_fBinary);
  ASSERT_TRUE(calls[3].timeouts.has_value());
  EXPECT_EQ(calls[3].timeouts->ReadIntervalTimeout, MAXDWORD);
  EXPECT_EQ(calls[3].timeouts->WriteTotalTimeoutConstant, 1000u);
  EXPECT_EQ(calls[4].arg1, 0x05FFu);
  EXPECT_EQ(calls[5].arg1, 3u);
  EXPECT_EQ(calls[6].arg1, 12u);
  EXPECT_EQ(calls[7].data, "AT\r");
}

TEST_F(VirtualDeviceTest, DtrAndRtsFollowTheSettingsOneHistoryEntryPerChange) {
  EXPECT_TRUE(Device().DTR()) << "both lines go on at open";
  EXPECT_TRUE(Device().RTS());
  DCB dcb = EngineDcb();  // both off
  ASSERT_TRUE(SetCommState(handle_, &dcb));
  ASSERT_TRUE(SetCommState(handle_, &dcb));  // no change, no entry
  dcb.Flags |= DTR_CONTROL_ENABLE;
  ASSERT_TRUE(SetCommState(handle_, &dcb));
  dcb.Flags |= RTS_CONTROL_ENABLE;
  ASSERT_TRUE(SetCommState(handle_, &dcb));
  const auto history = Device().LineHistory();
  ASSERT_EQ(history.size(), 3u);
  EXPECT_FALSE(history[0].dtr);
  EXPECT_FALSE(history[0].rts);
  EXPECT_TRUE(history[1].dtr);
  EXPECT_FALSE(history[1].rts);
  EXPECT_TRUE(history[2].dtr);
  EXPECT_TRUE(history[2].rts);
  CloseHandle(handle_);
  handle_ = INVALID_HANDLE_VALUE;
  EXPECT_FALSE(Device().DTR()) << "closing drops the lines";
  EXPECT_FALSE(Device().IsOpen());
}

TEST_F(VirtualDeviceTest, ModemLinesRaiseTheirEventsAndShowInTheStatus) {
  Configure();
  ASSERT_TRUE(SetCommMask(handle_, EV_CTS | EV_DSR | EV_RLSD | EV_RING));
  struct Step {
    const char* name;
    void (*act)(win32::VirtualDevice&);
    DWORD event;
    DWORD status;
  };
  const Step steps[] = {
      {"CtsOn", [](win32::VirtualDevice& d) { d.SetCTS(true); }, EV_CTS, MS_CTS_ON},
      {"DsrOn", [](win32::VirtualDevice& d) { d.SetDSR(true); }, EV_DSR, MS_CTS_ON | MS_DSR_ON},
      {"RlsdOn", [](win32::VirtualDevice& d) { d.SetRLSD(true); }, EV_RLSD,
       MS_CTS_ON | MS_DSR_ON | MS_RLSD_ON},
      {"CtsOff", [](win32::VirtualDevice& d) { d.SetCTS(false); }, EV_CTS, MS_DSR_ON | MS_RLSD_ON},
      {"Ring", [](win32::VirtualDevice& d) { d.Ring(); }, EV_RING, MS_DSR_ON | MS_RLSD_ON},
  };
  for (const Step& s : steps) {
    SCOPED_TRACE(s.name);
    Request wait;
    DWORD mask = 0;
    ASSERT_FALSE(WaitCommEvent(handle_, &mask, &wait.ov));
    s.act(Device());
    ASSERT_TRUE(wait.Done());
    EXPECT_EQ(mask, s.event);
    DWORD status = kSentinel;
    ASSERT_TRUE(GetCommModemStatus(handle_, &status));
    EXPECT_EQ(status, s.status);
  }
  Device().SetRI(true);
  Request wait;
  DWORD mask = 0;
  EXPECT_FALSE(WaitCommEvent(handle_, &mask, &wait.ov)) << "RI going on is no ring yet";
  Device().SetRI(false);
  ASSERT_TRUE(wait.Done());
  EXPECT_EQ(mask, EV_RING);
}

TEST_F(VirtualDeviceTest, LineErrorsLatchUntilClearedAndReplaceTheByte) {
  DCB dcb = EngineDcb();
  dcb.Flags |= DCB_fParity | DCB_fErrorChar;
  dcb.Parity = EVENPARITY;
  dcb.ErrorChar = '?';
  Configure(dcb);
  ASSERT_TRUE(SetCommMask(handle_, EV_ERR | EV_BREAK | EV_RXCHAR));
  struct Case {
    const char* name;
    DWORD ce;
    char byte;
    std::string queued;
  };
  const Case cases[] = {
      {"Parity", CE_RXPARITY, 'x', "?"},
      {"Framing", CE_FRAME, 'y', "?"},
      {"Overrun", CE_OVERRUN, 'z', "z"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Device().InjectError(c.ce, c.byte);
    Request wait;
    DWORD mask = 0;
    ASSERT_TRUE(WaitCommEvent(handle_, &mask, &wait.ov));
    EXPECT_EQ(mask, EV_ERR | EV_RXCHAR);
    EXPECT_EQ(Errors(), c.ce);
    EXPECT_EQ(Errors(), 0u) << "ClearCommError clears the latch";
    EXPECT_EQ(ReadSome(handle_, 4), c.queued);
  }
  Device().InjectBreak();
  Request wait;
  DWORD mask = 0;
  ASSERT_TRUE(WaitCommEvent(handle_, &mask, &wait.ov));
  EXPECT_EQ(mask, EV_BREAK | EV_ERR);
  EXPECT_EQ(Errors(), CE_BREAK);
}

TEST_F(VirtualDeviceTest, PausedDrainHoldsTxEmptyAndAFullQueueTimesTheWriteOut) {
  ASSERT_TRUE(SetupComm(handle_, 1024, 8));
  COMMTIMEOUTS t{MAXDWORD, 0, 0, 2, 20};
  ASSERT_TRUE(SetCommTimeouts(handle_, &t));
  ASSERT_TRUE(SetCommMask(handle_, EV_TXEMPTY));
  Device().PauseDrain(true);
  Request wait;
  DWORD mask = 0;
  ASSERT_FALSE(WaitCommEvent(handle_, &mask, &wait.ov));

  EXPECT_EQ(WriteAll(handle_, "1234"), 4u) << "fits the output queue: completes at once";
  COMSTAT stat{};
  ASSERT_TRUE(ClearCommError(handle_, nullptr, &stat));
  EXPECT_EQ(stat.cbOutQue, 4u);
  EXPECT_TRUE(wait.Pending());

  // Four more fit; the last two cannot: the write ends after 2*6+20 ms with
  // success and the bytes it got into the queue.
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(WriteAll(handle_, "abcdef"), 4u);
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(32));
  EXPECT_TRUE(wait.Pending());
  EXPECT_EQ(Device().TakeWritten(), "");

  Device().PauseDrain(false);
  ASSERT_TRUE(wait.Done());
  EXPECT_EQ(mask, EV_TXEMPTY);
  EXPECT_EQ(Device().TakeWritten(), "1234abcd");
}

TEST_F(VirtualDeviceTest, WriteLargerThanTheOutputQueueGoesThroughWhole) {
  ASSERT_TRUE(SetupComm(handle_, 1024, 16));
  COMMTIMEOUTS t = EngineTimeouts();
  ASSERT_TRUE(SetCommTimeouts(handle_, &t));
  std::string big(100000, '\0');
  for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 7);
  EXPECT_EQ(WriteAll(handle_, big), big.size());
  EXPECT_EQ(Device().TakeWritten(), big);
}

TEST_F(VirtualDeviceTest, PurgeAbortsPendingWritesAndClearsTheOutputQueue) {
  ASSERT_TRUE(SetupComm(handle_, 1024, 4));
  COMMTIMEOUTS t{MAXDWORD, 0, 0, 0, 0};  // no write timeout
  ASSERT_TRUE(SetCommTimeouts(handle_, &t));
  Device().PauseDrain(true);
  Request w;
  DWORD n = 0;
  ASSERT_FALSE(WriteFile(handle_, "0123456789", 10, &n, &w.ov));
  ASSERT_EQ(GetLastError(), ERROR_IO_PENDING);
  ASSERT_TRUE(PurgeComm(handle_, PURGE_TXABORT));
  ASSERT_TRUE(w.Done());
  EXPECT_FALSE(GetOverlappedResult(handle_, &w.ov, &n, FALSE));
  EXPECT_EQ(GetLastError(), ERROR_OPERATION_ABORTED);
  EXPECT_EQ(n, 4u) << "the bytes that reached the queue";
  COMSTAT stat{};
  ASSERT_TRUE(ClearCommError(handle_, nullptr, &stat));
  EXPECT_EQ(stat.cbOutQue, 4u) << "abort leaves the queue";
  ASSERT_TRUE(PurgeComm(handle_, PURGE_TXCLEAR));
  ASSERT_TRUE(ClearCommError(handle_, nullptr, &stat));
  EXPECT_EQ(stat.cbOutQue, 0u);
  Device().PauseDrain(false);
  EXPECT_EQ(Device().TakeWritten(), "");
}

TEST_F(VirtualDeviceTest, InputQueueSignalsEightyPercentAndOverflows) {
  ASSERT_TRUE(SetupComm(handle_, 10, 10));
  ASSERT_TRUE(SetCommMask(handle_, EV_RX80FULL));
  Device().Feed("1234567");
  Request wait;
  DWORD mask = 0;
  ASSERT_FALSE(WaitCommEvent(handle_, &mask, &wait.ov)) << "7 of 10 is below 80 percent";
  Device().Feed("8");
  ASSERT_TRUE(wait.Done());
  EXPECT_EQ(mask, EV_RX80FULL);
  Device().Feed("9ABCD");
  COMSTAT stat{};
  DWORD errors = 0;
  ASSERT_TRUE(ClearCommError(handle_, &errors, &stat));
  EXPECT_EQ(errors, CE_RXOVER);
  EXPECT_EQ(stat.cbInQue, 10u);
  COMMTIMEOUTS t = EngineTimeouts();
  ASSERT_TRUE(SetCommTimeouts(handle_, &t));
  EXPECT_EQ(ReadSome(handle_, 20), "123456789A");
}

TEST_F(VirtualDeviceTest, CtsFlowHoldsOutputUntilCtsComesOn) {
  DCB dcb = EngineDcb();
  dcb.Flags |= DCB_fOutxCtsFlow;
  Configure(dcb);
  EXPECT_EQ(WriteAll(handle_, "held"), 4u);
  COMSTAT stat{};
  ASSERT_TRUE(ClearCommError(handle_, nullptr, &stat));
  EXPECT_EQ(stat.cbOutQue, 4u);
  EXPECT_EQ(stat.Flags & 1u, 1u) << "fCtsHold";
  EXPECT_EQ(Device().TakeWritten(), "");
  Device().SetCTS(true);
  EXPECT_EQ(far_.Receive(4), "held");
}

TEST_F(VirtualDeviceTest, XonXoffReceivedStopsAndRestartsOutput) {
  DCB dcb = EngineDcb();
  dcb.Flags |= DCB_fOutX;
  Configure(dcb);
  Device().Feed("\x13");
  EXPECT_EQ(WriteAll(handle_, "AT"), 2u);
  EXPECT_EQ(Device().TakeWritten(), "");
  Device().Feed("\x11" "A");
  EXPECT_EQ(far_.Receive(2), "AT");
  EXPECT_EQ(ReadSome(handle_, 10), "A") << "XON and XOFF are not data";
}

TEST_F(VirtualDeviceTest, RtsHandshakeStopsTheSenderWhenTheQueueFills) {
  DCB dcb = EngineDcb();
  dcb.Flags |= RTS_CONTROL_HANDSHAKE;
  dcb.XoffLim = 2;
  dcb.XonLim = 3;
  ASSERT_TRUE(SetupComm(handle_, 10, 10));
  ASSERT_TRUE(SetCommState(handle_, &dcb));
  COMMTIMEOUTS t = EngineTimeouts();
  ASSERT_TRUE(SetCommTimeouts(handle_, &t));
  EXPECT_TRUE(Device().RTS());
  Device().Feed("1234567");
  EXPECT_TRUE(Device().RTS());
  Device().Feed("8");
  EXPECT_FALSE(Device().RTS()) << "8 of 10: fewer than XoffLim bytes of room";
  EXPECT_EQ(ReadSome(handle_, 4), "1234");
  EXPECT_FALSE(Device().RTS()) << "4 queued is above XonLim";
  EXPECT_EQ(ReadSome(handle_, 1), "5");
  EXPECT_TRUE(Device().RTS());
}

TEST_F(VirtualDeviceTest, AbortOnErrorRefusesTransfersUntilTheErrorIsCleared) {
  DCB dcb = EngineDcb();
  dcb.Flags |= DCB_fAbortOnError;
  Configure(dcb);
  Device().InjectError(CE_FRAME, 'x');
  char buffer[4];
  DWORD n = 0;
  Request r;
  SetLastError(kSentinel);
  EXPECT_FALSE(ReadFile(handle_, buffer, 4, &n, &r.ov));
  EXPECT_EQ(GetLastError(), ERROR_OPERATION_ABORTED);
  EXPECT_EQ(Errors(), CE_FRAME);
  EXPECT_EQ(ReadSome(handle_, 4), "x");
}

TEST_F(VirtualDeviceTest, FailNextFailsOneCallOnly) {
  Device().FailNext("SetCommState", ERROR_GEN_FAILURE);
  DCB dcb = EngineDcb();
  SetLastError(kSentinel);
  EXPECT_FALSE(SetCommState(handle_, &dcb));
  EXPECT_EQ(GetLastError(), ERROR_GEN_FAILURE);
  EXPECT_TRUE(SetCommState(handle_, &dcb));

  Device().FailNext("ReadFile", ERROR_BAD_COMMAND);
  Request r;
  char buffer[1];
  DWORD n = 0;
  EXPECT_FALSE(ReadFile(handle_, buffer, 1, &n, &r.ov));
  EXPECT_EQ(GetLastError(), ERROR_BAD_COMMAND);
  EXPECT_TRUE(r.Pending()) << "a request that failed to start never signals";

  CloseHandle(handle_);
  Device().FailNext("CreateFileA", ERROR_SHARING_VIOLATION);
  handle_ = OpenPort(far_.PortName());
  EXPECT_EQ(handle_, INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
  handle_ = OpenPort(far_.PortName());
  EXPECT_NE(handle_, INVALID_HANDLE_VALUE);
}

TEST_F(VirtualDeviceTest, UnpluggedDeviceCannotBeOpenedAgain) {
  Device().Unplug();
  CloseHandle(handle_);
  SetLastError(kSentinel);
  handle_ = OpenPort(far_.PortName());
  EXPECT_EQ(handle_, INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
}

TEST_F(VirtualDeviceTest, SecondWaitAndEmptyMaskAreInvalid) {
  DWORD mask = 0;
  Request a, b;
  SetLastError(kSentinel);
  EXPECT_FALSE(WaitCommEvent(handle_, &mask, &a.ov));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER) << "no events selected";
  ASSERT_TRUE(SetCommMask(handle_, EV_RXCHAR));
  EXPECT_FALSE(WaitCommEvent(handle_, &mask, &a.ov));
  EXPECT_EQ(GetLastError(), ERROR_IO_PENDING);
  DWORD other = 0;
  EXPECT_FALSE(WaitCommEvent(handle_, &other, &b.ov));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_FALSE(SetCommMask(handle_, 0x4000));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  // The pending wait must end while its OVERLAPPED still exists.
  CloseHandle(handle_);
  handle_ = INVALID_HANDLE_VALUE;
  EXPECT_TRUE(a.Done(0));
}

}  // namespace
