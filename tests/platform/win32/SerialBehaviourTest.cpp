// Behaviour both serial devices share, run against a pseudo-terminal (a real
// tty through termios) and against the virtual device.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "Support.h"

using namespace w32test;

namespace {

template <typename Far>
class SerialBehaviour : public ::testing::Test {
 protected:
  void SetUp() override {
    handle_ = OpenPort(far_.PortName());
    ASSERT_NE(handle_, INVALID_HANDLE_VALUE) << "open failed: " << GetLastError();
    ASSERT_TRUE(SetupComm(handle_, 1024, 1024));
    DCB dcb = EngineDcb();
    ASSERT_TRUE(SetCommState(handle_, &dcb));
    COMMTIMEOUTS t = EngineTimeouts();
    ASSERT_TRUE(SetCommTimeouts(handle_, &t));
  }
  void TearDown() override {
    if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
  }
  void SetTimeouts(COMMTIMEOUTS t) { ASSERT_TRUE(SetCommTimeouts(handle_, &t)); }

  Far far_;
  HANDLE handle_ = INVALID_HANDLE_VALUE;
};

using Devices = ::testing::Types<PtyFar, VirtualFar>;
class DeviceNames {
 public:
  template <typename T>
  static std::string GetName(int) {
    return std::is_same_v<T, PtyFar> ? "Pty" : "Virtual";
  }
};
TYPED_TEST_SUITE(SerialBehaviour, Devices, DeviceNames);

TYPED_TEST(SerialBehaviour, DataTravelsBothWaysWithEveryByteValue) {
  std::string all;
  for (int i = 0; i < 256; ++i) all.push_back(static_cast<char>(i));
  EXPECT_EQ(WriteAll(this->handle_, all), 256u);
  EXPECT_EQ(this->far_.Receive(256), all);

  const std::string answer = all + "\r\nOK\r\n";
  this->far_.Send(answer);
  ASSERT_EQ(WaitQueued(this->handle_, static_cast<DWORD>(answer.size())), answer.size());
  EXPECT_EQ(ReadSome(this->handle_, 1000), answer);
}

TYPED_TEST(SerialBehaviour, ReceivedCharacterCompletesThePendingWait) {
  ASSERT_TRUE(SetCommMask(this->handle_, EV_RXCHAR | EV_TXEMPTY));
  Request wait;
  DWORD mask = kSentinel;
  SetLastError(kSentinel);
  ASSERT_FALSE(WaitCommEvent(this->handle_, &mask, &wait.ov));
  ASSERT_EQ(GetLastError(), ERROR_IO_PENDING);
  DWORD n = 0;
  EXPECT_FALSE(GetOverlappedResult(this->handle_, &wait.ov, &n, FALSE));
  EXPECT_EQ(GetLastError(), ERROR_IO_INCOMPLETE);

  this->far_.Send("A");
  ASSERT_TRUE(wait.Done());
  ASSERT_TRUE(GetOverlappedResult(this->handle_, &wait.ov, &n, FALSE));
  EXPECT_EQ(mask, EV_RXCHAR);
  EXPECT_EQ(ReadSome(this->handle_, 10), "A");
}

TYPED_TEST(SerialBehaviour, EventsWithoutAPendingWaitCompleteTheNextWaitAtOnce) {
  ASSERT_TRUE(SetCommMask(this->handle_, EV_RXCHAR | EV_RXFLAG));
  DCB dcb = EngineDcb();
  dcb.EvtChar = '\n';
  ASSERT_TRUE(SetCommState(this->handle_, &dcb));
  // A read that returns as soon as a byte is there shows that the bytes
  // arrived while no wait was pending.
  this->SetTimeouts({MAXDWORD, MAXDWORD, 5000, 0, 0});
  this->far_.Send("x\n");
  EXPECT_FALSE(ReadSome(this->handle_, 1).empty());

  Request wait;
  DWORD mask = 0;
  ASSERT_TRUE(WaitCommEvent(this->handle_, &mask, &wait.ov));
  EXPECT_EQ(mask, EV_RXCHAR | EV_RXFLAG);
  EXPECT_TRUE(wait.Done(0)) << "a wait completed at once still signals its event";
}

TYPED_TEST(SerialBehaviour, NewMaskEndsThePendingWaitWithNoEvents) {
  ASSERT_TRUE(SetCommMask(this->handle_, EV_RXCHAR));
  Request wait;
  DWORD mask = kSentinel;
  ASSERT_FALSE(WaitCommEvent(this->handle_, &mask, &wait.ov));
  ASSERT_TRUE(SetCommMask(this->handle_, 0));
  ASSERT_TRUE(wait.Done());
  DWORD n = 0;
  EXPECT_TRUE(GetOverlappedResult(this->handle_, &wait.ov, &n, FALSE));
  EXPECT_EQ(mask, 0u);
}

TYPED_TEST(SerialBehaviour, NullBytesAreDiscardedOnlyWithFNull) {
  DCB dcb = EngineDcb();
  dcb.Flags |= DCB_fNull;
  ASSERT_TRUE(SetCommState(this->handle_, &dcb));
  this->SetTimeouts({MAXDWORD, MAXDWORD, 5000, 0, 0});
  this->far_.Send(std::string("a\0b\0", 4));
  std::string got = ReadSome(this->handle_, 2);
  if (got.size() < 2) got += ReadSome(this->handle_, 1);
  EXPECT_EQ(got, "ab");

  dcb.Flags &= ~DCB_fNull;
  ASSERT_TRUE(SetCommState(this->handle_, &dcb));
  this->far_.Send(std::string("c\0", 2));
  ASSERT_EQ(WaitQueued(this->handle_, 2), 2u);
  EXPECT_EQ(ReadSome(this->handle_, 2), std::string("c\0", 2));
}

// Read timeouts: each row starts a read of `want` bytes with `queued` bytes
// already received, then (if any) sends `later` while it is pending.
struct ReadCase {
  const char* name;
  COMMTIMEOUTS timeouts;
  DWORD want;
  std::string queued;
  std::string later;
  bool completesAtOnce;
  std::string expected;
  int minMs;  // the read cannot have ended sooner
};

const ReadCase kReadCases[] = {
    {"ImmediateReturnsWhatIsQueued", {MAXDWORD, 0, 0, 0, 0}, 10, "abc", "", true, "abc", 0},
    {"ImmediateWithNothingQueuedReturnsZero", {MAXDWORD, 0, 0, 0, 0}, 10, "", "", true, "", 0},
    {"FullCountReturnsAtOnce", {0, 0, 0, 0, 0}, 3, "xyz", "", true, "xyz", 0},
    {"TotalTimeoutEndsWithNothing", {0, 0, 80, 0, 0}, 5, "", "", false, "", 80},
    {"TotalTimeoutEndsWithPartialData", {0, 10, 30, 0, 0}, 5, "ab", "", false, "ab", 80},
    {"AnyByteModeWaitsForTheFirstByte", {MAXDWORD, MAXDWORD, 5000, 0, 0}, 10, "", "q", false, "q", 0},
    {"AnyByteModeTimesOut", {MAXDWORD, MAXDWORD, 60, 0, 0}, 10, "", "", false, "", 60},
    {"NoTimeoutsWaitsForTheWholeCount", {0, 0, 0, 0, 0}, 4, "ab", "cd", false, "abcd", 0},
    {"IntervalEndsTheReadAfterTheLastByte", {50, 0, 0, 0, 0}, 10, "", "hi", false, "hi", 50},
    {"HugeTotalTimeoutNeverFires", {20, MAXDWORD, 0, 0, 0}, 5000, "", "z", false, "z", 20},
};

TYPED_TEST(SerialBehaviour, ReadTimeouts) {
  for (const ReadCase& c : kReadCases) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(PurgeComm(this->handle_, PURGE_RXCLEAR));
    if (!c.queued.empty()) {
      this->far_.Send(c.queued);
      ASSERT_EQ(WaitQueued(this->handle_, static_cast<DWORD>(c.queued.size())), c.queued.size());
    }
    this->SetTimeouts(c.timeouts);
    Request r;
    std::string buffer(c.want, '\0');
    DWORD n = kSentinel;
    const auto start = std::chrono::steady_clock::now();
    BOOL at = ReadFile(this->handle_, buffer.data(), c.want, &n, &r.ov);
    EXPECT_EQ(at != FALSE, c.completesAtOnce);
    if (!at) {
      EXPECT_EQ(GetLastError(), ERROR_IO_PENDING);
    }
    if (!c.later.empty()) this->far_.Send(c.later);
    ASSERT_TRUE(GetOverlappedResult(this->handle_, &r.ov, &n, TRUE));
    const auto elapsed = std::chrono::steady_clock::now() - start;
    buffer.resize(n);
    EXPECT_EQ(buffer, c.expected);
    EXPECT_GE(elapsed, std::chrono::milliseconds(c.minMs));
  }
}

TYPED_TEST(SerialBehaviour, PurgeAbortsRequestsAndClearsQueuesSeparately) {
  this->far_.Send("12345");
  ASSERT_EQ(WaitQueued(this->handle_, 5), 5u);
  this->SetTimeouts({0, 0, 0, 0, 0});
  // The queued bytes go to the read first; it then waits for five more.
  Request r;
  char buffer[10];
  DWORD n = 0;
  ASSERT_FALSE(ReadFile(this->handle_, buffer, 10, &n, &r.ov));
  ASSERT_TRUE(PurgeComm(this->handle_, PURGE_RXABORT));
  ASSERT_TRUE(r.Done());
  EXPECT_FALSE(GetOverlappedResult(this->handle_, &r.ov, &n, FALSE));
  EXPECT_EQ(GetLastError(), ERROR_OPERATION_ABORTED);

  this->far_.Send("67");
  ASSERT_EQ(WaitQueued(this->handle_, 2), 2u);
  ASSERT_TRUE(PurgeComm(this->handle_, PURGE_TXABORT | PURGE_RXABORT));
  COMSTAT stat{};
  ASSERT_TRUE(ClearCommError(this->handle_, nullptr, &stat));
  EXPECT_EQ(stat.cbInQue, 2u) << "abort leaves queued bytes where they are";
  ASSERT_TRUE(PurgeComm(this->handle_, PURGE_TXCLEAR | PURGE_RXCLEAR));
  ASSERT_TRUE(ClearCommError(this->handle_, nullptr, &stat));
  EXPECT_EQ(stat.cbInQue, 0u);

  SetLastError(kSentinel);
  EXPECT_FALSE(PurgeComm(this->handle_, 0x10));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

TYPED_TEST(SerialBehaviour, CloseCompletesPendingRequestsWithAborted) {
  ASSERT_TRUE(SetCommMask(this->handle_, EV_RXCHAR));
  this->SetTimeouts({0, 0, 0, 0, 0});
  Request wait, read;
  DWORD mask = kSentinel, n = 0;
  char buffer[4];
  ASSERT_FALSE(WaitCommEvent(this->handle_, &mask, &wait.ov));
  ASSERT_FALSE(ReadFile(this->handle_, buffer, 4, &n, &read.ov));
  ASSERT_TRUE(CloseHandle(this->handle_));
  HANDLE closed = this->handle_;
  this->handle_ = INVALID_HANDLE_VALUE;
  ASSERT_TRUE(wait.Done(0));
  ASSERT_TRUE(read.Done(0));
  EXPECT_EQ(wait.ov.Internal, ERROR_OPERATION_ABORTED);
  EXPECT_EQ(read.ov.Internal, ERROR_OPERATION_ABORTED);
  EXPECT_FALSE(GetOverlappedResult(closed, &read.ov, &n, FALSE));
  EXPECT_EQ(GetLastError(), ERROR_OPERATION_ABORTED);

  SetLastError(kSentinel);
  EXPECT_FALSE(SetCommMask(closed, 0));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  // The device is free again at once.
  HANDLE again = OpenPort(this->far_.PortName());
  EXPECT_NE(again, INVALID_HANDLE_VALUE);
  CloseHandle(again);
}

TYPED_TEST(SerialBehaviour, OpenIsExclusive) {
  SetLastError(kSentinel);
  EXPECT_EQ(OpenPort(this->far_.PortName()), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
}

TYPED_TEST(SerialBehaviour, VanishedDeviceFailsPendingAndLaterRequests) {
  ASSERT_TRUE(SetCommMask(this->handle_, EV_RXCHAR | EV_CTS));
  this->SetTimeouts({0, 0, 0, 0, 0});
  Request wait, read;
  DWORD mask = kSentinel, n = 0;
  char buffer[4];
  ASSERT_FALSE(WaitCommEvent(this->handle_, &mask, &wait.ov));
  ASSERT_FALSE(ReadFile(this->handle_, buffer, 4, &n, &read.ov));
  this->far_.Hangup();
  ASSERT_TRUE(wait.Done());
  ASSERT_TRUE(read.Done());
  EXPECT_FALSE(GetOverlappedResult(this->handle_, &wait.ov, &n, FALSE));
  EXPECT_EQ(GetLastError(), ERROR_DEVICE_NOT_CONNECTED);
  EXPECT_EQ(mask, 0u);
  EXPECT_FALSE(GetOverlappedResult(this->handle_, &read.ov, &n, FALSE));
  EXPECT_EQ(GetLastError(), ERROR_DEVICE_NOT_CONNECTED);

  // Later requests fail at once and leave their event unsignalled, so an
  // event loop waiting on it blocks instead of spinning.
  SetLastError(kSentinel);
  EXPECT_FALSE(ReadFile(this->handle_, buffer, 4, &n, &read.ov));
  EXPECT_EQ(GetLastError(), ERROR_DEVICE_NOT_CONNECTED);
  EXPECT_TRUE(read.Pending());
  SetLastError(kSentinel);
  EXPECT_FALSE(WaitCommEvent(this->handle_, &mask, &wait.ov));
  EXPECT_EQ(GetLastError(), ERROR_DEVICE_NOT_CONNECTED);
  EXPECT_TRUE(wait.Pending());
  EXPECT_TRUE(CloseHandle(this->handle_));
  this->handle_ = INVALID_HANDLE_VALUE;
}

// Settings Windows rejects with ERROR_INVALID_PARAMETER; the device keeps
// its previous settings.
TYPED_TEST(SerialBehaviour, InvalidSettingsAreRejected) {
  struct Case {
    const char* name;
    void (*change)(DCB&);
  };
  const Case cases[] = {
      {"OneAndAHalfStopBitsWithEightDataBits", [](DCB& d) { d.StopBits = ONE5STOPBITS; }},
      {"TwoStopBitsWithFiveDataBits", [](DCB& d) { d.ByteSize = 5; d.StopBits = TWOSTOPBITS; }},
      {"FourDataBits", [](DCB& d) { d.ByteSize = 4; }},
      {"NineDataBits", [](DCB& d) { d.ByteSize = 9; }},
      {"UnknownParity", [](DCB& d) { d.Parity = 5; }},
      {"UnknownStopBits", [](DCB& d) { d.StopBits = 3; }},
      {"ZeroRate", [](DCB& d) { d.BaudRate = 0; }},
      {"EqualXonXoff", [](DCB& d) { d.XoffChar = d.XonChar; }},
      {"XoffLimitBeyondTheQueue", [](DCB& d) { d.XoffLim = 2000; }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    DCB dcb = EngineDcb();
    c.change(dcb);
    SetLastError(kSentinel);
    EXPECT_FALSE(SetCommState(this->handle_, &dcb));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    DCB now{};
    ASSERT_TRUE(GetCommState(this->handle_, &now));
    EXPECT_EQ(now.BaudRate, 115200u);
    EXPECT_EQ(now.ByteSize, 8);
  }
  DCB five = EngineDcb();
  five.ByteSize = 5;
  five.StopBits = ONE5STOPBITS;
  EXPECT_TRUE(SetCommState(this->handle_, &five)) << "1.5 stop bits go with 5 data bits";
}

TYPED_TEST(SerialBehaviour, WriteCompletesAndTheOutputQueueRunsEmpty) {
  ASSERT_TRUE(SetCommMask(this->handle_, EV_TXEMPTY));
  Request wait;
  DWORD mask = 0;
  ASSERT_FALSE(WaitCommEvent(this->handle_, &mask, &wait.ov));
  EXPECT_EQ(WriteAll(this->handle_, "AT\r\n"), 4u);
  ASSERT_TRUE(wait.Done());
  EXPECT_EQ(mask, EV_TXEMPTY);
  EXPECT_EQ(this->far_.Receive(4), "AT\r\n");
  COMSTAT stat{};
  ASSERT_TRUE(ClearCommError(this->handle_, nullptr, &stat));
  EXPECT_EQ(stat.cbOutQue, 0u);
}

TYPED_TEST(SerialBehaviour, HandleOpenedWithoutOverlappedBlocksUntilDone) {
  CloseHandle(this->handle_);
  this->handle_ = OpenPort(this->far_.PortName(), 0);
  ASSERT_NE(this->handle_, INVALID_HANDLE_VALUE);
  COMMTIMEOUTS t{0, 0, 0, 0, 0};
  ASSERT_TRUE(SetCommTimeouts(this->handle_, &t));
  std::thread sender([this] {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    this->far_.Send("wxyz");
  });
  char buffer[4];
  DWORD n = 0;
  EXPECT_TRUE(ReadFile(this->handle_, buffer, 4, &n, nullptr));
  sender.join();
  EXPECT_EQ(std::string(buffer, n), "wxyz");
}

}  // namespace

namespace {

// The engine's pattern: an event thread waits for line events and reads
// what arrives, while the user-interface thread changes settings, queries
// the status and writes on the same handle. Every byte fed must come out
// once, in order, and closing must end it all.
TYPED_TEST(SerialBehaviour, EventThreadAndUserThreadShareTheHandle) {
  // Room for everything: the virtual line delivers at once and a full queue
  // would drop bytes (CE_RXOVER), as a real driver's does.
  ASSERT_TRUE(SetupComm(this->handle_, 1 << 16, 1024));
  ASSERT_TRUE(SetCommMask(this->handle_, 0x05FF));
  HANDLE stop = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  HANDLE allReceived = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  std::string expected;
  for (int i = 0; i < 300; ++i) expected += "line " + std::to_string(i) + "\r\n";
  std::string received;

  std::thread eventThread([&] {
    OVERLAPPED ov{};
    ov.hEvent = CreateEventA(nullptr, TRUE, TRUE, nullptr);
    HANDLE both[2] = {stop, ov.hEvent};
    DWORD mask = 0;  // outlives the wait still pending when the loop ends
    for (;;) {
      DWORD n = 0;
      WaitCommEvent(this->handle_, &mask, &ov);
      if (WaitForMultipleObjects(2, both, FALSE, INFINITE) != WAIT_OBJECT_0 + 1) break;
      if (!GetOverlappedResult(this->handle_, &ov, &n, FALSE) || !(mask & EV_RXCHAR)) continue;
      COMSTAT stat{};
      DWORD errors = 0;
      if (!ClearCommError(this->handle_, &errors, &stat) || stat.cbInQue == 0) continue;
      received += ReadSome(this->handle_, stat.cbInQue);
      if (received.size() >= expected.size()) SetEvent(allReceived);
    }
    SetCommMask(this->handle_, 0);
    PurgeComm(this->handle_, PURGE_TXCLEAR | PURGE_RXCLEAR);
    CloseHandle(ov.hEvent);
  });

  std::thread farSide([&] {
    for (std::size_t at = 0; at < expected.size(); at += 61)
      this->far_.Send(expected.substr(at, 61));
  });
  std::size_t written = 0;
  for (int i = 0; i < 50; ++i) {
    DCB dcb = EngineDcb();
    dcb.BaudRate = (i % 2) ? 115200 : 57600;
    EXPECT_TRUE(SetCommState(this->handle_, &dcb));
    DWORD status = 0;
    EXPECT_TRUE(GetCommModemStatus(this->handle_, &status));
    written += WriteAll(this->handle_, "AT\r\n");
  }
  farSide.join();
  EXPECT_EQ(WaitForSingleObject(allReceived, kLongWait), WAIT_OBJECT_0);
  SetEvent(stop);
  eventThread.join();
  EXPECT_EQ(received, expected);
  EXPECT_EQ(written, 200u);
  // The exit steps purge the queues; completed writes are not taken back.
  std::string out = this->far_.Receive(200);
  EXPECT_EQ(out.size(), 200u);
  EXPECT_EQ(out.substr(0, 8), "AT\r\nAT\r\n");
  CloseHandle(allReceived);
  CloseHandle(stop);
}

}  // namespace
