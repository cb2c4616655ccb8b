// Real serial hardware, when a port is named: TALVEN_TEST_PORT (for example
// ttyUSB0 or COM1) with a loopback plug joining TX-RX, RTS-CTS and DTR-DSR.
// Without it the test is skipped and says so.
#include <gtest/gtest.h>
#include <stdlib.h>

#include "Support.h"

using namespace w32test;

namespace {

TEST(Hardware, LoopbackPlugEchoesDataAndModemLines) {
  const char* port = getenv("TALVEN_TEST_PORT");
  if (port == nullptr || *port == '\0')
    GTEST_SKIP() << "no hardware named: set TALVEN_TEST_PORT to a serial port with a loopback "
                    "plug (TX-RX, RTS-CTS, DTR-DSR) to run this test";
  // Declared first: the event wait's request and mask outlive the handle,
  // even when an assertion ends the test with the wait pending.
  Request wait;
  DWORD mask = 0;
  HANDLE h = OpenPort(port);
  ASSERT_NE(h, INVALID_HANDLE_VALUE) << "cannot open " << port << ": " << GetLastError();
  struct Closer {
    HANDLE h;
    ~Closer() { CloseHandle(h); }
  } closer{h};
  ASSERT_TRUE(SetupComm(h, 1024, 1024));
  DCB dcb = EngineDcb();
  ASSERT_TRUE(SetCommState(h, &dcb));
  COMMTIMEOUTS t{0, 0, 2000, 100, 1000};
  ASSERT_TRUE(SetCommTimeouts(h, &t));
  ASSERT_TRUE(PurgeComm(h, PURGE_RXCLEAR | PURGE_TXCLEAR));

  EXPECT_EQ(WriteAll(h, "loopback"), 8u);
  EXPECT_EQ(ReadSome(h, 8), "loopback");

  // RTS drives CTS, DTR drives DSR through the plug; the watcher reports it.
  ASSERT_TRUE(SetCommMask(h, EV_CTS | EV_DSR));
  struct Step {
    DWORD flags;
    DWORD event;
    DWORD status;
  };
  const Step steps[] = {{RTS_CONTROL_ENABLE, EV_CTS, MS_CTS_ON},
                        {RTS_CONTROL_ENABLE | DTR_CONTROL_ENABLE, EV_DSR, MS_CTS_ON | MS_DSR_ON},
                        {DTR_CONTROL_ENABLE, EV_CTS, MS_DSR_ON},
                        {0, EV_DSR, 0}};
  for (const Step& s : steps) {
    // The change is started with a wait pending; a late event of the step
    // before may complete that wait, so waits go on until the lines show
    // the step's levels.
    DWORD seen = 0, status = 0;
    for (int waits = 0; waits == 0 || (waits < 4 && (status & (MS_CTS_ON | MS_DSR_ON)) != s.status);
         ++waits) {
      if (!WaitCommEvent(h, &mask, &wait.ov)) {
        ASSERT_EQ(GetLastError(), ERROR_IO_PENDING);
      }
      if (waits == 0) {
        dcb.Flags = DCB_fBinary | s.flags;
        ASSERT_TRUE(SetCommState(h, &dcb));
      }
      ASSERT_TRUE(wait.Done(2000)) << "no modem-line event";
      seen |= mask;
      ASSERT_TRUE(GetCommModemStatus(h, &status));
    }
    EXPECT_EQ(status & (MS_CTS_ON | MS_DSR_ON), s.status);
    EXPECT_NE(seen & s.event, 0u);
  }
}

}  // namespace
