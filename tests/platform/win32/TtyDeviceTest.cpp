// What the tty device shows on a pseudo-terminal beyond the shared
// behaviour: settings as the kernel sees them, no modem lines, open errors.
#include <gtest/gtest.h>

#include "Support.h"
#include "TtyIoctl.h"

using namespace w32test;

namespace {

class TtyDeviceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(pty_.Ok());
    handle_ = OpenPort(pty_.Slave());
    ASSERT_NE(handle_, INVALID_HANDLE_VALUE) << GetLastError();
  }
  void TearDown() override {
    if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
  }
  Pty pty_;
  HANDLE handle_ = INVALID_HANDLE_VALUE;
};

// Each row is applied with SetCommState and read back from the master side.
// A pseudo-terminal keeps the rate, the stop bits, the parity kind and the
// flow settings; the kernel forces its character size to 8 bits and clears
// parity enable, so those two are not compared.
TEST_F(TtyDeviceTest, SettingsReachTheKernelAsGiven) {
  struct Case {
    const char* name;
    DWORD baud;
    BYTE size, parity, stop;
    DWORD flags;
  };
  const Case cases[] = {
      {"Standard", 115200, 8, NOPARITY, ONESTOPBIT, 0},
      {"CustomRate", 123457, 8, NOPARITY, ONESTOPBIT, 0},
      {"TinyRate", 110, 7, EVENPARITY, TWOSTOPBITS, 0},
      {"Mark", 250000, 7, MARKPARITY, ONESTOPBIT, 0},
      {"Space", 31250, 6, SPACEPARITY, TWOSTOPBITS, 0},
      {"Odd", 9600, 8, ODDPARITY, ONESTOPBIT, 0},
      {"FiveBitsOneAndAHalf", 50, 5, NOPARITY, ONE5STOPBITS, 0},
      {"XonXoffBothWays", 19200, 8, NOPARITY, ONESTOPBIT, DCB_fOutX | DCB_fInX},
      {"HardwareFlow", 57600, 8, NOPARITY, ONESTOPBIT, DCB_fOutxCtsFlow | RTS_CONTROL_HANDSHAKE},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    DCB dcb = EngineDcb();
    dcb.BaudRate = c.baud;
    dcb.ByteSize = c.size;
    dcb.Parity = c.parity;
    dcb.StopBits = c.stop;
    dcb.Flags |= c.flags;
    dcb.XonChar = 0x01;
    dcb.XoffChar = 0x02;
    ASSERT_TRUE(SetCommState(handle_, &dcb)) << GetLastError();
    win32::TtyLineConfig seen;
    ASSERT_EQ(win32::TtyRead(pty_.Master(), seen), 0);
    EXPECT_EQ(seen.baud, c.baud);
    EXPECT_EQ(seen.stopBits != ONESTOPBIT, c.stop != ONESTOPBIT);
    EXPECT_EQ(seen.oddFlag, c.parity == ODDPARITY || c.parity == MARKPARITY);
    EXPECT_EQ(seen.stickFlag, c.parity == MARKPARITY || c.parity == SPACEPARITY);
    EXPECT_EQ(seen.xonOut, (c.flags & DCB_fOutX) != 0);
    EXPECT_EQ(seen.xonIn, (c.flags & DCB_fInX) != 0);
    EXPECT_EQ(seen.ctsRts, (c.flags & DCB_fOutxCtsFlow) != 0);
    if (seen.xonOut) {
      EXPECT_EQ(seen.xonChar, 0x01);
      EXPECT_EQ(seen.xoffChar, 0x02);
    }
    DCB back{};
    ASSERT_TRUE(GetCommState(handle_, &back));
    EXPECT_EQ(back.BaudRate, c.baud);
  }
}

TEST_F(TtyDeviceTest, PseudoTerminalHasNoModemLines) {
  DWORD status = kSentinel;
  ASSERT_TRUE(GetCommModemStatus(handle_, &status));
  EXPECT_EQ(status, 0u);
  // CTS output flow cannot hold a line that has no CTS: data still flows.
  DCB dcb = EngineDcb();
  dcb.Flags |= DCB_fOutxCtsFlow | DCB_fOutxDsrFlow;
  ASSERT_TRUE(SetCommState(handle_, &dcb));
  EXPECT_EQ(WriteAll(handle_, "go"), 2u);
  EXPECT_EQ(pty_.Receive(2, std::chrono::milliseconds(kLongWait)), "go");
}

TEST_F(TtyDeviceTest, MarkedBytesArriveAsData) {
  // 0xFF and "0xFF 0x00" sequences are doubled by the kernel under PARMRK and
  // must come out as they were sent.
  const std::string tricky("\xff\xff\x00\x00\xff", 5);
  COMMTIMEOUTS t = EngineTimeouts();
  ASSERT_TRUE(SetCommTimeouts(handle_, &t));
  pty_.Send(tricky);
  ASSERT_EQ(WaitQueued(handle_, 5), 5u);
  EXPECT_EQ(ReadSome(handle_, 10), tricky);
}

TEST(TtyOpen, MissingDeviceAndNonTerminalsAreNotFound) {
  for (const char* name : {"/dev/win32-test-no-such-device", "/dev/null", "ttyWIN32NONE"}) {
    SCOPED_TRACE(name);
    SetLastError(kSentinel);
    EXPECT_EQ(OpenPort(name), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  }
}

TEST(TtyOpen, ArgumentsWindowsRejects) {
  SetLastError(kSentinel);
  EXPECT_EQ(CreateFileA(nullptr, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr),
            INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  SetLastError(kSentinel);
  EXPECT_EQ(CreateFileA("\\\\.\\COM1", GENERIC_READ, 0, nullptr, 2 /* CREATE_ALWAYS */, 0, nullptr),
            INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

TEST(TtyOpen, CommCallsOnAHandleThatIsNoDeviceFail) {
  HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  DCB dcb{};
  SetLastError(kSentinel);
  EXPECT_FALSE(GetCommState(event, &dcb));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  SetLastError(kSentinel);
  EXPECT_FALSE(SetupComm(INVALID_HANDLE_VALUE, 1, 1));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  CloseHandle(event);
}

}  // namespace

#include "Parmrk.h"

namespace {

// The in-band error marks of a serial line, split at every possible read
// boundary.
TEST(ParmrkParser, SplitsMarksFromDataAtAnyReadBoundary) {
  struct Case {
    const char* name;
    std::string stream;
    std::string expected;  // data as D<bytes>, B for a break, E<c> for an error byte
  };
  const Case cases[] = {
      {"PlainData", "hello", "Dhello"},
      {"DoubledFF", std::string("a\xff\xff" "b", 4), "Da" "D\xff" "Db"},
      {"Break", std::string("x\xff\0\0y", 5), "DxBDy"},
      {"ErrorByte", std::string("\xff\0q", 3), "Eq"},
      {"NulIsData", std::string("\0\0", 2), std::string("D\0\0", 3)},
      {"LoneFF", std::string("\xffz", 2), "D\xff" "Dz"},
  };
  struct Sink {
    std::string out;
    void Data(const BYTE* p, std::size_t n) {
      out += 'D';
      out.append(reinterpret_cast<const char*>(p), n);
    }
    void Break() { out += 'B'; }
    void Error(BYTE c) {
      out += 'E';
      out += static_cast<char>(c);
    }
  };
  // Runs of data may be split differently per boundary; compare bytes and
  // marks without the run boundaries.
  auto flatten = [](const std::string& s) {
    std::string r;
    for (std::size_t i = 0; i < s.size(); ++i) {
      if (s[i] == 'D') continue;
      if (s[i] == 'B') r += "<B>";
      else if (s[i] == 'E') r += "<E" + std::string(1, s[++i]) + ">";
      else r += s[i];
    }
    return r;
  };
  for (const Case& c : cases) {
    for (std::size_t cut = 0; cut <= c.stream.size(); ++cut) {
      SCOPED_TRACE(std::string(c.name) + " cut at " + std::to_string(cut));
      win32::ParmrkParser parser;
      Sink sink;
      const auto* bytes = reinterpret_cast<const BYTE*>(c.stream.data());
      parser.Parse(bytes, cut, sink);
      parser.Parse(bytes + cut, c.stream.size() - cut, sink);
      EXPECT_EQ(flatten(sink.out), flatten(c.expected));
    }
  }
}

}  // namespace
