// Kernel termios2 and the modem-line ioctls. Only kernel headers here: the
// C library's <termios.h> declares a different struct termios.
#include "TtyIoctl.h"

#include <asm/ioctls.h>
#include <asm/termbits.h>
#include <asm/termios.h>
#include <linux/serial.h>

#include <atomic>
#include <cerrno>
#include <cstring>

extern "C" int ioctl(int fd, unsigned long request, ...);

namespace win32 {
namespace {

int Call(int result) { return result == 0 ? 0 : errno; }

}  // namespace

// DCB to termios2, as applied here:
//   c_iflag  INPCK|PARMRK when markErrors (parity/framing errors arrive as
//            \377 \0 c, breaks as \377 \0 \0, a real \377 as \377 \377);
//            IXON for fOutX, IXOFF for fInX; nothing else (no CR/NL mapping,
//            no ISTRIP, no BRKINT, no IGNPAR).
//   c_oflag  0 (no output processing).
//   c_lflag  0 (no canonical mode, echo or signals).
//   c_cflag  CREAD|CLOCAL|HUPCL, CS5..CS8 from ByteSize, CSTOPB for 1.5 or 2
//            stop bits (a UART sends 1.5 with 5 data bits), PARENB for any
//            parity, PARODD for odd and mark, CMSPAR for mark and space,
//            CRTSCTS for CTS output flow together with RTS handshake, BOTHER
//            with the exact rate in c_ispeed/c_ospeed.
//   c_cc     VMIN 1, VTIME 0, VSTART XonChar, VSTOP XoffChar.
int TtyApply(int fd, const TtyLineConfig& c) {
  struct termios2 t {};
  if (ioctl(fd, TCGETS2, &t) != 0) return errno;
  t.c_iflag = 0;
  if (c.markErrors) t.c_iflag |= INPCK | PARMRK;
  if (c.xonOut) t.c_iflag |= IXON;
  if (c.xonIn) t.c_iflag |= IXOFF;
  t.c_oflag = 0;
  t.c_lflag = 0;
  tcflag_t size = c.dataBits == 5 ? CS5 : c.dataBits == 6 ? CS6 : c.dataBits == 7 ? CS7 : CS8;
  t.c_cflag = CREAD | CLOCAL | HUPCL | size | BOTHER;
  if (c.stopBits != 0) t.c_cflag |= CSTOPB;
  if (c.parity != 0) t.c_cflag |= PARENB;
  if (c.parity == 1 || c.parity == 3) t.c_cflag |= PARODD;
  if (c.parity == 3 || c.parity == 4) t.c_cflag |= CMSPAR;
  if (c.ctsRts) t.c_cflag |= CRTSCTS;
  t.c_ispeed = c.baud;
  t.c_ospeed = c.baud;
  t.c_cc[VMIN] = 1;
  t.c_cc[VTIME] = 0;
  t.c_cc[VSTART] = static_cast<cc_t>(c.xonChar);
  t.c_cc[VSTOP] = static_cast<cc_t>(c.xoffChar);
  return Call(ioctl(fd, TCSETS2, &t));
}

int TtyRead(int fd, TtyLineConfig& c) {
  struct termios2 t {};
  if (ioctl(fd, TCGETS2, &t) != 0) return errno;
  c.baud = t.c_ospeed;
  switch (t.c_cflag & CSIZE) {
    case CS5: c.dataBits = 5; break;
    case CS6: c.dataBits = 6; break;
    case CS7: c.dataBits = 7; break;
    default: c.dataBits = 8; break;
  }
  if (!(t.c_cflag & PARENB)) {
    c.parity = 0;
  } else if (t.c_cflag & CMSPAR) {
    c.parity = (t.c_cflag & PARODD) ? 3 : 4;
  } else {
    c.parity = (t.c_cflag & PARODD) ? 1 : 2;
  }
  c.stopBits = (t.c_cflag & CSTOPB) ? (c.dataBits == 5 ? 1 : 2) : 0;
  c.xonOut = (t.c_iflag & IXON) != 0;
  c.xonIn = (t.c_iflag & IXOFF) != 0;
  c.xonChar = static_cast<char>(t.c_cc[VSTART]);
  c.xoffChar = static_cast<char>(t.c_cc[VSTOP]);
  c.ctsRts = (t.c_cflag & CRTSCTS) != 0;
  c.markErrors = (t.c_iflag & PARMRK) != 0;
  c.oddFlag = (t.c_cflag & PARODD) != 0;
  c.stickFlag = (t.c_cflag & CMSPAR) != 0;
  return 0;
}

static_assert(sizeof(struct termios2) <= sizeof(TtySavedState::bytes));

int TtySave(int fd, TtySavedState& state) {
  struct termios2 t {};
  if (ioctl(fd, TCGETS2, &t) != 0) return errno;
  std::memcpy(state.bytes, &t, sizeof t);
  return 0;
}

int TtyRestore(int fd, const TtySavedState& state) {
  struct termios2 t {};
  std::memcpy(&t, state.bytes, sizeof t);
  return Call(ioctl(fd, TCSETS2, &t));
}

int TtyGetLines(int fd, int& lines) {
  int bits = 0;
  if (ioctl(fd, TIOCMGET, &bits) != 0) return errno;
  lines = ((bits & TIOCM_DTR) ? kTtyDtr : 0) | ((bits & TIOCM_RTS) ? kTtyRts : 0) |
          ((bits & TIOCM_CTS) ? kTtyCts : 0) | ((bits & TIOCM_DSR) ? kTtyDsr : 0) |
          ((bits & TIOCM_RNG) ? kTtyRing : 0) | ((bits & TIOCM_CAR) ? kTtyCarrier : 0);
  return 0;
}

int TtySetLines(int fd, int set, int clear) {
  auto bits = [](int lines) {
    return ((lines & kTtyDtr) ? TIOCM_DTR : 0) | ((lines & kTtyRts) ? TIOCM_RTS : 0);
  };
  int on = bits(set), off = bits(clear);
  if (on != 0 && ioctl(fd, TIOCMBIS, &on) != 0) return errno;
  if (off != 0 && ioctl(fd, TIOCMBIC, &off) != 0) return errno;
  return 0;
}

int TtyWaitLines(int fd) {
  return Call(ioctl(fd, TIOCMIWAIT, TIOCM_CTS | TIOCM_DSR | TIOCM_RNG | TIOCM_CAR));
}

namespace {
std::atomic<TtyCountsSource> countsSource{nullptr};
}  // namespace

void SetTtyCountsSource(TtyCountsSource source) { countsSource = source; }

int TtyGetCounts(int fd, TtyCounts& c) {
  if (TtyCountsSource source = countsSource.load()) return source(fd, c);
  struct serial_icounter_struct k {};
  if (ioctl(fd, TIOCGICOUNT, &k) != 0) return errno;
  c.cts = k.cts;
  c.dsr = k.dsr;
  c.ring = k.rng;
  c.carrier = k.dcd;
  c.frame = k.frame;
  c.overrun = k.overrun;
  c.parity = k.parity;
  c.brk = k.brk;
  c.bufOverrun = k.buf_overrun;
  return 0;
}

int TtyOutQueue(int fd, int& bytes) { return Call(ioctl(fd, TIOCOUTQ, &bytes)); }

int TtyExclusive(int fd) { return Call(ioctl(fd, TIOCEXCL)); }

int TtyShared(int fd) { return Call(ioctl(fd, TIOCNXCL)); }

int TtyIsExclusive(int fd, bool& exclusive) {
  int flag = 0;
  if (ioctl(fd, TIOCGEXCL, &flag) != 0) return errno;
  exclusive = flag != 0;
  return 0;
}

int TtyFlush(int fd, bool input, bool output) {
  if (!input && !output) return 0;
  return Call(ioctl(fd, TCFLSH, input && output ? TCIOFLUSH : input ? TCIFLUSH : TCOFLUSH));
}

}  // namespace win32
