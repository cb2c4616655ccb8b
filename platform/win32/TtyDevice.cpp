// The tty device: a terminal device (serial port, USB adapter,
// pseudo-terminal) under the Win32 serial semantics of CommDevice.
//
// Threads per open device:
//  - the I/O thread blocks in ppoll() on the descriptor and an eventfd. It
//    drains received bytes into the driver's input queue (stopping when the
//    queue is full, so the kernel's buffer and flow control hold the rest),
//    writes the output queue, expires request deadlines (ppoll's timeout is
//    the earliest deadline) and notices a vanished device.
//  - the modem watcher blocks in TIOCMIWAIT, only where the driver has
//    modem lines. A pseudo-terminal answers ENOTTY: it has no modem lines,
//    reports status 0 and gets no watcher.
// A caller's thread (holding the device lock) also reads and writes the
// descriptor without waiting when that saves a hand-off (LineWake,
// LineFetch); it wakes the I/O thread through the eventfd only when that
// must look again (more room, output the kernel would not take, an earlier
// deadline).
#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

#include "Devices.h"
#include "Errors.h"
#include "Parmrk.h"
#include "TtyIoctl.h"

namespace win32 {
namespace {

// Owns a descriptor; closes it on every path that does not hand it on.
class UniqueFd {
 public:
  UniqueFd() = default;
  explicit UniqueFd(int fd) : fd_(fd) {}
  UniqueFd(UniqueFd&& other) noexcept : fd_(other.Release()) {}
  UniqueFd& operator=(UniqueFd&& other) noexcept {
    Reset(other.Release());
    return *this;
  }
  ~UniqueFd() { Reset(); }
  int Get() const { return fd_; }
  int Release() {
    int fd = fd_;
    fd_ = -1;
    return fd;
  }
  void Reset(int fd = -1) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = fd;
  }

 private:
  int fd_ = -1;
};

// The signal that interrupts the modem watcher's TIOCMIWAIT when the device
// closes. Its handler does nothing; installed once, without SA_RESTART.
int WatcherSignal() { return SIGRTMIN + 7; }

void InstallWatcherSignal() {
  static std::once_flag once;
  std::call_once(once, [] {
    struct sigaction current {};
    sigaction(WatcherSignal(), nullptr, &current);
    if (current.sa_handler != SIG_DFL) return;  // someone else's: leave it
    struct sigaction action {};
    action.sa_handler = [](int) {};
    sigemptyset(&action.sa_mask);
    sigaction(WatcherSignal(), &action, nullptr);
  });
}

constexpr std::size_t kMinInputQueue = 64 * 1024;

DWORD LinesToModemStatus(int lines) {
  return ((lines & kTtyCts) ? MS_CTS_ON : 0) | ((lines & kTtyDsr) ? MS_DSR_ON : 0) |
         ((lines & kTtyRing) ? MS_RING_ON : 0) | ((lines & kTtyCarrier) ? MS_RLSD_ON : 0);
}

class TtyDevice final : public CommDevice {
 public:
  TtyDevice(bool overlapped, UniqueFd fd, UniqueFd wake, const TtySavedState& found,
            bool modemLines, bool counts)
      : CommDevice(overlapped),
        fd_(std::move(fd)),
        wake_(std::move(wake)),
        found_(found),
        modemLines_(modemLines),
        counts_(counts),
        markErrors_(modemLines) {
    if (counts_) TtyGetCounts(fd_.Get(), lastCounts_);
  }

  ~TtyDevice() override {
    // Normally LineStop has run (CloseHandle). A device that failed during
    // open has no threads; it is given back and its descriptors close here.
    if (fd_.Get() >= 0) GiveBack();
  }

  // Exclusive use from here on (TIOCEXCL keeps out other opens but root's).
  void TakeExclusive() { TtyExclusive(fd_.Get()); }

  // Applies raw mode with the settings a port has when opened, keeping the
  // device's current rate. Caller's thread, before the threads start.
  DWORD Configure(std::uint32_t baud) {
    std::lock_guard lock(mu_);
    dcb_.BaudRate = baud != 0 ? baud : 9600;
    return LineConfigure(dcb_);
  }

  void Start() {
    io_ = std::thread([this] { IoLoop(); });
    if (modemLines_) {
      InstallWatcherSignal();
      try {
        watcher_ = std::thread([this] { WatchLoop(); });
      } catch (...) {
        StopThreads();
        throw;
      }
    }
  }

 protected:
  DWORD LineConfigure(const DCB& dcb) override {
    TtyLineConfig c;
    c.baud = dcb.BaudRate;
    c.dataBits = dcb.ByteSize;
    c.parity = dcb.Parity;
    c.stopBits = dcb.StopBits;
    c.xonOut = (dcb.Flags & DCB_fOutX) != 0;
    c.xonIn = (dcb.Flags & DCB_fInX) != 0;
    c.xonChar = dcb.XonChar;
    c.xoffChar = dcb.XoffChar;
    c.ctsRts = LineDoesCtsRts(dcb);
    c.markErrors = markErrors_;
    if (int e = TtyApply(fd_.Get(), c)) return e == EIO ? ERROR_DEVICE_NOT_CONNECTED : ErrnoToWin32(e);
    kernelCtsRts_ = c.ctsRts;
    parity_ = dcb.Parity;
    bitsPerChar_ = 1 + dcb.ByteSize + (dcb.Parity != NOPARITY ? 1 : 0) + (dcb.StopBits != 0 ? 2 : 1);
    baud_ = dcb.BaudRate;
    return ERROR_SUCCESS;
  }

  // Errors of TIOCMBIS/TIOCMBIC are ignored: a device without modem lines
  // has no DTR or RTS to drive.
  void LineDrive(bool dtr, bool rts, bool) override {
    if (!modemLines_) return;
    int set = (dtr ? kTtyDtr : 0), clear = (dtr ? 0 : kTtyDtr);
    if (!kernelCtsRts_) {
      set |= rts ? kTtyRts : 0;
      clear |= rts ? 0 : kTtyRts;
    }
    TtySetLines(fd_.Get(), set, clear);
  }

  DWORD LineModemStatus() override {
    int lines = 0;
    if (!modemLines_ || TtyGetLines(fd_.Get(), lines) != 0) return 0;
    return LinesToModemStatus(lines);
  }

  // At least 64 KiB whatever SetupComm asks: the port's default 1 KiB
  // would cut a flood into batches whose fixed cost (a hand-over to the
  // user-interface thread, a repaint) exceeds the cost of the bytes. At
  // 115 200 bit/s 64 KiB is almost six seconds of input.
  std::size_t LineInputQueue(std::size_t requested) const override {
    return std::max<std::size_t>(requested, kMinInputQueue);
  }

  bool LineHasModemLines() const override { return modemLines_; }
  bool LineDoesXonXoff() const override { return true; }
  bool LineDoesCtsRts(const DCB& dcb) const override {
    return (dcb.Flags & DCB_fOutxCtsFlow) &&
           (dcb.Flags & DCB_fRtsControlMask) == RTS_CONTROL_HANDSHAKE;
  }

  // TIOCOUTQ: bytes in the kernel's buffer. While some remain, a check is
  // scheduled for when they should have gone at the line rate (doubling,
  // up to a second, while flow control keeps them from moving); the check
  // runs Update, which asks again and fires EV_TXEMPTY at zero.
  DWORD LineOutQueue() override {
    int bytes = 0;
    if (!wrote_) return 0;  // nothing written since the buffer was last empty
    if (TtyOutQueue(fd_.Get(), bytes) != 0 || bytes <= 0) {
      lastOutQueue_ = 0;
      wrote_ = false;
      return 0;
    }
    if (drainCheck_ == Clock::time_point::max()) {
      auto expected = std::chrono::microseconds(
          std::uint64_t{static_cast<unsigned>(bytes)} * bitsPerChar_ * 1000000 / std::max<DWORD>(baud_, 1));
      if (lastOutQueue_ != 0 && bytes >= lastOutQueue_) {
        drainStep_ = std::min<std::chrono::microseconds>(drainStep_ * 2, std::chrono::seconds(1));
      } else {
        drainStep_ = std::max<std::chrono::microseconds>(expected, std::chrono::milliseconds(1));
      }
      drainCheck_ = Clock::now() + drainStep_;
    }
    lastOutQueue_ = bytes;
    return static_cast<DWORD>(bytes);
  }

  // Any thread, mu_ held: one non-blocking read, so a reader that keeps up
  // takes bytes in large batches without a hand-off from the I/O thread.
  void LineFetch() override {
    if (vanished_ == 0 && !stopping_ && !inWake_) {
      inWake_ = true;
      ReadInput(buffer_);
      inWake_ = false;
    }
  }

  // PURGE_RXCLEAR also empties the kernel's input buffer. PURGE_TXCLEAR
  // leaves the kernel's output buffer alone: like a UART's FIFO under
  // Windows it holds bytes of completed writes.
  void LinePurge(bool rx, bool) override {
    TtyFlush(fd_.Get(), rx, false);
    if (rx) parser_.Reset();
  }

  // Any thread, mu_ held. The I/O thread is in (or on its way into) ppoll
  // with the interests it recorded. First the caller's thread does what it
  // can without waiting: refill the input queue if the I/O thread waits
  // without POLLIN (the queue was full), and hand queued output to the
  // kernel if the I/O thread is not waiting for room. So a reader that
  // keeps up is served with no hand-off, and written bytes reach the kernel
  // before WriteFile returns. Then the I/O thread is woken only if its
  // interests are out of date.
  void LineWake() override {
    if (std::this_thread::get_id() == ioThread_ || inWake_) return;
    inWake_ = true;
    if (vanished_ == 0 && !pollIn_ && InputRoom() > 0) ReadInput(buffer_);
    while (vanished_ == 0 && !pollOut_ && !output_.empty() && !OutputHeld() && WriteOutput()) {
    }
    inWake_ = false;
    const bool wantIn = vanished_ == 0 && InputRoom() > 0;
    const bool wantOut = vanished_ == 0 && !output_.empty() && !OutputHeld();
    if ((wantIn && !pollIn_) || (wantOut && !pollOut_) ||
        std::min(NextDeadline(), drainCheck_) < sleepUntil_)
      Kick();
  }

  // The caller's thread, without mu_; the device's threads are stopped.
  void LineStop() override {
    StopThreads();
    // Bytes the kernel holds are what the UART's FIFO holds under Windows:
    // completed writes, which closing does not take back. They get the time
    // they need at the line rate (at most a second, should flow control hold
    // them); the rest is discarded so that close() does not wait out the
    // driver's closing_wait (30 s). Closing releases the lock.
    int bytes = 0;
    if (wrote_ && vanished_ == 0 && TtyOutQueue(fd_.Get(), bytes) == 0 && bytes > 0) {
      auto need = std::chrono::microseconds(std::uint64_t{static_cast<unsigned>(bytes)} *
                                            bitsPerChar_ * 1000000 / std::max<DWORD>(baud_, 1)) +
                  std::chrono::milliseconds(10);
      std::this_thread::sleep_for(std::min<std::chrono::microseconds>(need, std::chrono::seconds(1)));
    }
    TtyFlush(fd_.Get(), false, true);
    GiveBack();
    fd_.Reset();
    wake_.Reset();
  }

 private:
  // The device as the open found it: its terminal settings (raw mode and
  // the rate would otherwise outlive the close wherever another process
  // keeps the device open, such as a getty or the far side's keeper) and
  // without the exclusive flag (which would make every later open by
  // anyone but root fail with EBUSY). Errors are ignored: a vanished
  // device has nothing to give back.
  void GiveBack() {
    TtyRestore(fd_.Get(), found_);
    TtyShared(fd_.Get());
  }

  void Kick() {
    std::uint64_t one = 1;
    [[maybe_unused]] ssize_t n = ::write(wake_.Get(), &one, sizeof one);
  }

  void StopThreads() {
    {
      std::lock_guard lock(mu_);
      stopping_ = true;
    }
    Kick();
    if (watcher_.joinable()) {
      // The watcher may sit in TIOCMIWAIT, which only a signal interrupts.
      // A signal sent just before it enters the ioctl would be lost, so it
      // is repeated until the watcher reports its end (normally at once).
      std::unique_lock lock(mu_);
      while (!watcherDone_) {
        pthread_kill(watcher_.native_handle(), WatcherSignal());
        watcherExit_.wait_for(lock, std::chrono::milliseconds(20));
      }
      lock.unlock();
      watcher_.join();
    }
    if (io_.joinable()) io_.join();
  }

  // I/O thread.
  void IoLoop() {
    std::vector<BYTE> buffer(64 * 1024);  // its own: LineFetch uses buffer_
    std::unique_lock lock(mu_);
    ioThread_ = std::this_thread::get_id();
    while (!stopping_) {
      pollIn_ = vanished_ == 0 && InputRoom() > 0;
      pollOut_ = vanished_ == 0 && !output_.empty() && !OutputHeld();
      sleepUntil_ = std::min(NextDeadline(), drainCheck_);
      const auto until = sleepUntil_;
      pollfd fds[2] = {
          {vanished_ == 0 ? fd_.Get() : -1,
           static_cast<short>((pollIn_ ? POLLIN : 0) | (pollOut_ ? POLLOUT : 0)), 0},
          {wake_.Get(), POLLIN, 0}};
      lock.unlock();
      timespec ts{};
      timespec* timeout = nullptr;
      if (until != Clock::time_point::max()) {
        auto left = std::chrono::duration_cast<std::chrono::nanoseconds>(until - Clock::now());
        if (left.count() < 0) left = std::chrono::nanoseconds(0);
        ts.tv_sec = static_cast<time_t>(left.count() / 1000000000);
        ts.tv_nsec = static_cast<long>(left.count() % 1000000000);
        timeout = &ts;
      }
      int ready = ::ppoll(fds, 2, timeout, nullptr);
      lock.lock();
      if (stopping_) break;
      if (ready > 0 && (fds[1].revents & POLLIN)) {
        std::uint64_t count;
        [[maybe_unused]] ssize_t n = ::read(wake_.Get(), &count, sizeof count);
      }
      if (ready > 0 && vanished_ == 0) {
        const short ev = fds[0].revents;
        if (ev & POLLIN) {
          ReadInput(buffer);
        } else if (ev & (POLLHUP | POLLERR | POLLNVAL)) {
          OnVanished(ERROR_DEVICE_NOT_CONNECTED);
        }
        if ((ev & POLLOUT) && vanished_ == 0) WriteOutput();
      }
      const auto now = Clock::now();
      if (now >= drainCheck_) {
        drainCheck_ = Clock::time_point::max();
        Update();
      }
      ExpireDeadlines(now);
    }
  }

  // I/O thread, mu_ held. Reads no more than the queue can take.
  void ReadInput(std::vector<BYTE>& buffer) {
    const std::size_t room = std::min(InputRoom(), buffer.size());
    if (room == 0) return;
    ssize_t n = ::read(fd_.Get(), buffer.data(), room);
    if (n > 0) {
      // Bytes lost to an overrun were lost before these: reported first.
      if (counts_) CheckCounters(false);
      Parse(buffer.data(), static_cast<std::size_t>(n));
    } else if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
      // End of file or EIO: the far side of a pseudo-terminal closed, or the
      // device was unplugged.
      OnVanished(ERROR_DEVICE_NOT_CONNECTED);
    }
  }

  // Received bytes, split where the line marks errors in-band.
  void Parse(const BYTE* data, std::size_t n) {
    if (!markErrors_) {
      OnBytes(data, n);
      return;
    }
    struct Sink {
      TtyDevice& self;
      void Data(const BYTE* p, std::size_t count) { self.OnBytes(p, count); }
      void Break() { self.OnBreak(); }
      void Error(BYTE c) { self.OnErrorByte(self.ClassifyError(), c); }
    } sink{*this};
    parser_.Parse(data, n, sink);
  }

  // PARMRK marks parity and framing errors alike; the driver's counters
  // tell them apart where it keeps them. Without counters: a framing error
  // when the line has no parity, else a parity error.
  DWORD ClassifyError() {
    if (counts_) {
      DWORD bits = CheckCounters(true);
      if (bits & (CE_FRAME | CE_RXPARITY)) return bits & (CE_FRAME | CE_RXPARITY | CE_OVERRUN);
    }
    return parity_ == NOPARITY ? CE_FRAME : CE_RXPARITY;
  }

  // Overruns never appear in-band: the counters show them. Returns the
  // error bits whose counters moved; reports overruns unless `quiet`.
  DWORD CheckCounters(bool quiet) {
    TtyCounts now;
    if (TtyGetCounts(fd_.Get(), now) != 0) return 0;
    DWORD bits = 0;
    if (now.frame != lastCounts_.frame) bits |= CE_FRAME;
    if (now.parity != lastCounts_.parity) bits |= CE_RXPARITY;
    if (now.overrun != lastCounts_.overrun) bits |= CE_OVERRUN;
    if (now.bufOverrun != lastCounts_.bufOverrun) bits |= CE_RXOVER;
    lastCounts_.frame = now.frame;
    lastCounts_.parity = now.parity;
    lastCounts_.overrun = now.overrun;
    lastCounts_.bufOverrun = now.bufOverrun;
    lastCounts_.brk = now.brk;
    if (!quiet) OnLineErrors(bits & (CE_OVERRUN | CE_RXOVER));
    return bits;
  }

  // Any thread, mu_ held. One non-blocking write of the queue's front;
  // returns whether the kernel took any byte.
  bool WriteOutput() {
    auto front = output_.Front();
    if (front.empty()) return false;
    ssize_t n = ::write(fd_.Get(), front.data(), front.size());
    if (n > 0) {
      output_.Drop(static_cast<std::size_t>(n));
      wrote_ = true;
      Update();
      return true;
    }
    if (n < 0 && errno != EAGAIN && errno != EINTR) OnVanished(ERROR_DEVICE_NOT_CONNECTED);
    return false;
  }

  // Modem watcher thread.
  void WatchLoop() {
    std::unique_lock lock(mu_);
    TtyCounts counts = lastCounts_;
    while (!stopping_) {
      lock.unlock();
      const int error = TtyWaitLines(fd_.Get());
      int lines = 0;
      const int statusError = error == 0 ? TtyGetLines(fd_.Get(), lines) : error;
      TtyCounts now;
      const bool haveCounts = error == 0 && counts_ && TtyGetCounts(fd_.Get(), now) == 0;
      lock.lock();
      if (stopping_) break;
      if (error == EINTR) continue;
      if (error != 0 || statusError != 0) break;  // unsupported, or hung up (the I/O thread sees it)
      DWORD extra = 0;
      if (haveCounts) {
        // A short pulse can be over before the levels are read.
        if (now.ring != counts.ring) extra |= EV_RING;
        if (now.cts != counts.cts) extra |= EV_CTS;
        if (now.dsr != counts.dsr) extra |= EV_DSR;
        if (now.carrier != counts.carrier) extra |= EV_RLSD;
        counts = now;
      }
      OnModemStatus(LinesToModemStatus(lines), extra);
    }
    watcherDone_ = true;
    watcherExit_.notify_all();
  }

  UniqueFd fd_;
  UniqueFd wake_;
  const TtySavedState found_;  // the terminal state before the open
  const bool modemLines_;
  const bool counts_;
  std::thread io_;
  std::thread watcher_;
  std::condition_variable watcherExit_;
  bool watcherDone_ = false;
  bool stopping_ = false;
  std::thread::id ioThread_;
  // What the I/O thread's current ppoll waits for (mu_).
  bool pollIn_ = false;
  bool pollOut_ = false;
  Clock::time_point sleepUntil_ = Clock::time_point::max();
  Clock::time_point drainCheck_ = Clock::time_point::max();
  std::chrono::microseconds drainStep_{1000};
  int lastOutQueue_ = 0;
  bool wrote_ = false;
  bool inWake_ = false;  // a caller's thread reads or writes in LineWake (mu_)
  std::vector<BYTE> buffer_ = std::vector<BYTE>(64 * 1024);  // LineFetch (mu_)
  // Errors and breaks are marked in-band only on a line that can have them:
  // a driver with modem lines. A pseudo-terminal never delivers them, and
  // marking would put every byte through the kernel's slow path.
  const bool markErrors_;
  ParmrkParser parser_;
  TtyCounts lastCounts_;
  bool kernelCtsRts_ = false;
  BYTE parity_ = NOPARITY;
  DWORD bitsPerChar_ = 10;
  DWORD baud_ = 9600;
};

}  // namespace

// Caller's thread. Acquires step by step; every failure closes what was
// acquired (UniqueFd) and ownership passes to the device only at the end.
std::shared_ptr<CommDevice> OpenTty(const std::string& path, bool overlapped, DWORD& error) {
  // Only a terminal is ever opened: opening other devices can have effects
  // of its own (a watchdog starts counting).
  struct stat checked {};
  if (DWORD e = CheckPortDevice(path, &checked)) {
    error = e;
    return nullptr;
  }
  // Non-blocking, never the controlling terminal.
  UniqueFd fd(::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
  if (fd.Get() < 0) {
    // EIO: a serial port without hardware behind it (ttyS with no UART).
    error = errno == EIO ? ERROR_FILE_NOT_FOUND : ErrnoToWin32(errno);
    return nullptr;
  }
  struct stat st {};
  if (::fstat(fd.Get(), &st) != 0 || !S_ISCHR(st.st_mode) || st.st_rdev != checked.st_rdev) {
    error = ERROR_FILE_NOT_FOUND;  // the name was changed to lead elsewhere meanwhile
    return nullptr;
  }
  // Exclusive: the lock keeps out every other open of this device, in this
  // process or another, root included (TIOCEXCL does not stop root).
  if (::flock(fd.Get(), LOCK_EX | LOCK_NB) != 0) {
    error = ErrnoToWin32(errno == EWOULDBLOCK ? EBUSY : errno);
    return nullptr;
  }
  TtySavedState found;
  TtyLineConfig current;
  if (int e = TtySave(fd.Get(), found); e != 0 || (e = TtyRead(fd.Get(), current)) != 0) {
    error = (e == ENOTTY || e == EINVAL) ? ERROR_FILE_NOT_FOUND : ErrnoToWin32(e);  // not a terminal
    return nullptr;
  }
  int lines = 0;
  const bool modemLines = TtyGetLines(fd.Get(), lines) == 0;
  TtyCounts counts;
  const bool haveCounts = TtyGetCounts(fd.Get(), counts) == 0;
  UniqueFd wake(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
  if (wake.Get() < 0) {
    error = ErrnoToWin32(errno);
    return nullptr;
  }
  std::shared_ptr<TtyDevice> device;
  try {
    device = std::make_shared<TtyDevice>(overlapped, std::move(fd), std::move(wake), found,
                                         modemLines, haveCounts);
  } catch (const std::bad_alloc&) {
    error = ERROR_NOT_ENOUGH_MEMORY;
    return nullptr;
  }
  // From here the device gives the terminal back on every path.
  device->TakeExclusive();
  if (DWORD e = device->Configure(current.baud)) {
    error = e;
    return nullptr;
  }
  device->Begin();
  try {
    device->Start();
  } catch (const std::system_error&) {
    error = ERROR_NOT_ENOUGH_MEMORY;
    return nullptr;
  }
  return device;
}

}  // namespace win32
