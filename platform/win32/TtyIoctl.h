// The terminal ioctls the tty device uses, behind plain types. The kernel's
// termios2 (any baud rate through BOTHER) cannot share a translation unit
// with the C library's <termios.h>, so all of it stays in TtyIoctl.cpp.
// Each function returns 0 or an errno value.
#pragma once

#include <cstdint>

namespace win32 {

struct TtyLineConfig {
  std::uint32_t baud = 9600;  // any positive rate
  int dataBits = 8;           // 5..8
  int parity = 0;             // NOPARITY, ODDPARITY, EVENPARITY, MARKPARITY, SPACEPARITY
  int stopBits = 0;           // ONESTOPBIT, ONE5STOPBITS, TWOSTOPBITS
  bool xonOut = false;        // obey XON/XOFF received (IXON)
  bool xonIn = false;         // send XON/XOFF (IXOFF)
  char xonChar = 0x11;
  char xoffChar = 0x13;
  bool ctsRts = false;        // CRTSCTS
  bool markErrors = true;     // INPCK | PARMRK: errors and breaks in-band
  // Read back only: PARODD and CMSPAR as the kernel holds them. A
  // pseudo-terminal forces CS8 and clears PARENB, but keeps these.
  bool oddFlag = false;
  bool stickFlag = false;
};

// Raw mode with the given settings, applied at once (TCSETS2).
int TtyApply(int fd, const TtyLineConfig& config);
// Reads the settings back; works on either side of a pseudo-terminal.
int TtyRead(int fd, TtyLineConfig& config);

// The whole terminal state as the kernel holds it (struct termios2), kept
// to be put back when the device is given back.
struct TtySavedState {
  alignas(8) unsigned char bytes[64] = {};
};
int TtySave(int fd, TtySavedState& state);
int TtyRestore(int fd, const TtySavedState& state);

// Modem lines as TIOCM_* bits are mapped to these.
constexpr int kTtyDtr = 0x01, kTtyRts = 0x02, kTtyCts = 0x04, kTtyDsr = 0x08,
              kTtyRing = 0x10, kTtyCarrier = 0x20;
int TtyGetLines(int fd, int& lines);
int TtySetLines(int fd, int set, int clear);
// Blocks until CTS, DSR, RI or DCD changes (TIOCMIWAIT).
int TtyWaitLines(int fd);

// Interrupt and error counters (TIOCGICOUNT).
struct TtyCounts {
  int cts = 0, dsr = 0, ring = 0, carrier = 0;
  int frame = 0, overrun = 0, parity = 0, brk = 0, bufOverrun = 0;
};
int TtyGetCounts(int fd, TtyCounts& counts);
// Tests stand in for the kernel's counters, which a pseudo-terminal does
// not keep; nullptr goes back to TIOCGICOUNT.
using TtyCountsSource = int (*)(int fd, TtyCounts& counts);
void SetTtyCountsSource(TtyCountsSource source);

int TtyOutQueue(int fd, int& bytes);  // TIOCOUTQ
int TtyExclusive(int fd);             // TIOCEXCL
int TtyShared(int fd);                // TIOCNXCL
int TtyIsExclusive(int fd, bool& exclusive);  // TIOCGEXCL
int TtyFlush(int fd, bool input, bool output);

}  // namespace win32
