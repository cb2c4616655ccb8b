#include "CommDevice.h"

#include <algorithm>
#include <atomic>
#include <cstring>

namespace win32 {
namespace {

constexpr DWORD kAllEvents = 0x1FFF;  // EV_RXCHAR .. EV_EVENT2
// The errors EV_ERR announces. The Windows driver raises EV_ERR for the
// line-status errors alone (CE_FRAME, CE_OVERRUN, CE_RXPARITY); here input
// lost because the queue was full (CE_RXOVER) raises it too, so that a
// program waiting for events learns that bytes are missing.
constexpr DWORD kErrorEventBits = CE_RXPARITY | CE_FRAME | CE_OVERRUN | CE_RXOVER;

DWORD DtrControl(const DCB& d) { return d.Flags & DCB_fDtrControlMask; }
DWORD RtsControl(const DCB& d) { return d.Flags & DCB_fRtsControlMask; }
bool Has(const DCB& d, DWORD flag) { return (d.Flags & flag) != 0; }

// A deadline `ms` from now. Products such as MAXDWORD * count exceed what
// the clock can hold; anything beyond about 30 years means never.
Clock::time_point After(Clock::time_point now, std::uint64_t ms) {
  constexpr std::uint64_t kNever = 1000ull * 1000 * 1000 * 1000;
  if (ms >= kNever) return Clock::time_point::max();
  return now + std::chrono::milliseconds(ms);
}

// COMSTAT.Flags bits.
constexpr DWORD kCtsHold = 0x01;
constexpr DWORD kDsrHold = 0x02;
constexpr DWORD kXoffHold = 0x08;
constexpr DWORD kXoffSent = 0x10;

}  // namespace

void StartOverlapped(OVERLAPPED* ov) {
  std::atomic_ref<ULONG_PTR>(ov->InternalHigh).store(0, std::memory_order_relaxed);
  std::atomic_ref<ULONG_PTR>(ov->Internal).store(STATUS_PENDING, std::memory_order_release);
  if (ov->hEvent != nullptr) ResetEvent(ov->hEvent);
}

void CompleteOverlapped(OVERLAPPED* ov, DWORD status, DWORD bytes) {
  // Read by the owner of the request (GetOverlappedResult), possibly while
  // this runs: atomic, release order, count before status.
  std::atomic_ref<ULONG_PTR>(ov->InternalHigh).store(bytes, std::memory_order_relaxed);
  std::atomic_ref<ULONG_PTR>(ov->Internal).store(status, std::memory_order_release);
  // The event wakes waiters through the event mutex, which orders the
  // buffer and mask writes before the waiter's reads. A caller that closed
  // its event early only loses the signal.
  HANDLE event = ov->hEvent;
  if (event != nullptr) {
    DWORD saved = GetLastError();
    SetEvent(event);
    SetLastError(saved);
  }
}

ULONG_PTR OverlappedStatus(const OVERLAPPED* ov) {
  return std::atomic_ref<ULONG_PTR>(const_cast<ULONG_PTR&>(ov->Internal))
      .load(std::memory_order_acquire);
}

namespace {
// CloseHandle on a device. A fault injected for CloseHandle is reported,
// but the device is closed all the same: nothing stays held.
BOOL CloseDevice(KernelObject& self) {
  auto& device = static_cast<CommDevice&>(self);
  DWORD fault = 0;
  if (device.Logging()) {
    DeviceCall call;
    call.function = "CloseHandle";
    fault = device.Log(std::move(call));
  }
  device.Close();
  return fault != 0 ? Fail(fault) : TRUE;
}
const ObjectOps kDeviceOps{"comm device", &CloseDevice};
}  // namespace

CommDevice::CommDevice(bool overlapped)
    : KernelObject(kType, &kDeviceOps), overlapped_(overlapped) {
  // The settings a port has when opened: 9600 8N1, binary, DTR and RTS on.
  dcb_.DCBlength = sizeof(DCB);
  dcb_.BaudRate = 9600;
  dcb_.Flags = DCB_fBinary | DTR_CONTROL_ENABLE | RTS_CONTROL_ENABLE;
  dcb_.XonLim = 2048;
  dcb_.XoffLim = 512;
  dcb_.ByteSize = 8;
  dcb_.Parity = NOPARITY;
  dcb_.StopBits = ONESTOPBIT;
  dcb_.XonChar = 0x11;
  dcb_.XoffChar = 0x13;
}

void CommDevice::Begin() {
  std::lock_guard lock(mu_);
  inCapacity_ = LineInputQueue(inCapacity_);
  modem_ = LineModemStatus();
  DriveLines(false);
}

// ---------------------------------------------------------------------------
// Helpers (mu_ held).

DWORD CommDevice::Usable() const {
  if (closed_) return ERROR_INVALID_HANDLE;
  if (vanished_ != 0) return vanished_;
  return ERROR_SUCCESS;
}

void CommDevice::Complete(OVERLAPPED* ov, DWORD status, DWORD bytes) {
  CompleteOverlapped(ov, status, bytes);
  done_.notify_all();
}

void CommDevice::Signal(DWORD events) {
  history_ |= events & mask_;
  if (waitOv_ != nullptr && history_ != 0) {
    *waitMask_ = history_;
    Announced(history_);
    history_ = 0;
    OVERLAPPED* ov = waitOv_;
    waitOv_ = nullptr;
    waitMask_ = nullptr;
    Complete(ov, ERROR_SUCCESS, 0);
  }
}

void CommDevice::AbortAll(DWORD code, bool reads, bool writes, bool wait) {
  if (reads) {
    while (!reads_.empty()) {
      Read r = reads_.front();
      reads_.pop_front();
      Complete(r.ov, code, r.got);
    }
  }
  if (writes) {
    while (!writes_.empty()) {
      Write w = writes_.front();
      writes_.pop_front();
      Complete(w.ov, code, w.queued);
    }
  }
  if (wait && waitOv_ != nullptr) {
    *waitMask_ = 0;
    OVERLAPPED* ov = waitOv_;
    waitOv_ = nullptr;
    waitMask_ = nullptr;
    Complete(ov, code, 0);
  }
}

void CommDevice::RaiseErrors(DWORD ceBits) {
  LatchErrors(ceBits);
  if (mask_ & EV_ERR) unannounced_ |= ceBits & kErrorEventBits;
  Signal((ceBits & kErrorEventBits) ? EV_ERR : 0);
}

void CommDevice::Announced(DWORD events) {
  if (events & EV_ERR) unannounced_ = 0;
}

void CommDevice::LatchErrors(DWORD ceBits) {
  errors_ |= ceBits;
  // fAbortOnError: reads and writes end with an error until ClearCommError.
  if (ceBits != 0 && Has(dcb_, DCB_fAbortOnError))
    AbortAll(ERROR_OPERATION_ABORTED, true, true, false);
}

std::size_t CommDevice::InputRoom() const {
  std::size_t room = input_.size() < inCapacity_ ? inCapacity_ - input_.size() : 0;
  if (!reads_.empty() && reads_.front().active)
    room += reads_.front().want - reads_.front().got;
  return room;
}

bool CommDevice::OutputHeld() const {
  if (xoffHeld_ && !Has(dcb_, DCB_fTXContinueOnXoff)) return true;
  // Without modem lines (a pseudo-terminal) CTS and DSR never hold output:
  // deliberately unlike a real port with nothing attached, where the
  // output would stop for good.
  if (!LineHasModemLines()) return false;
  if (Has(dcb_, DCB_fOutxCtsFlow) && !LineDoesCtsRts(dcb_) && !(modem_ & MS_CTS_ON))
    return true;
  if (Has(dcb_, DCB_fOutxDsrFlow) && !(modem_ & MS_DSR_ON)) return true;
  return false;
}

// DTR and RTS from the settings and the flow state:
//   fDtrControl  DISABLE off | ENABLE on | HANDSHAKE on unless input is stopped
//   fRtsControl  DISABLE off | ENABLE on | HANDSHAKE on unless input is stopped
//                (the kernel drives it under CRTSCTS) | TOGGLE on while output
//                is queued or still in the line's buffer
void CommDevice::DriveLines(bool bySetState) {
  bool dtr = DtrControl(dcb_) == DTR_CONTROL_ENABLE ||
             (DtrControl(dcb_) == DTR_CONTROL_HANDSHAKE && !inputStopped_);
  bool rts = RtsControl(dcb_) == RTS_CONTROL_ENABLE ||
             (RtsControl(dcb_) == RTS_CONTROL_HANDSHAKE && !inputStopped_) ||
             (RtsControl(dcb_) == RTS_CONTROL_TOGGLE &&
              (!output_.empty() || (txPending_ && LineOutQueue() != 0)));
  if (linesDriven_ && dtr == dtr_ && rts == rts_) return;
  linesDriven_ = true;
  dtr_ = dtr;
  rts_ = rts;
  LineDrive(dtr, rts, bySetState);
}

// Input flow control over the driver's input queue: the sender is stopped
// when fewer than XoffLim bytes of room are left, and released when no more
// than XonLim bytes are queued.
void CommDevice::UpdateFlow() {
  bool dtrHs = DtrControl(dcb_) == DTR_CONTROL_HANDSHAKE;
  bool rtsHs = RtsControl(dcb_) == RTS_CONTROL_HANDSHAKE && !LineDoesCtsRts(dcb_);
  bool inX = Has(dcb_, DCB_fInX) && !LineDoesXonXoff();
  bool stop = inputStopped_;
  if (dtrHs || rtsHs || inX) {
    std::size_t stopAt = inCapacity_ > dcb_.XoffLim ? inCapacity_ - dcb_.XoffLim : 0;
    if (!inputStopped_ && input_.size() >= stopAt && stopAt > 0) stop = true;
    if (inputStopped_ && input_.size() <= dcb_.XonLim && input_.size() < stopAt) stop = false;
  } else {
    stop = false;
  }
  if (stop != inputStopped_) {
    inputStopped_ = stop;
    if (inX) {
      LineSendFlowChar(stop ? dcb_.XoffChar : dcb_.XonChar);
      xoffSent_ = stop;
    }
  }
  DriveLines(false);
}

// Moves queued bytes into the head read and completes reads that are done.
bool CommDevice::ServiceReads(Clock::time_point now) {
  bool changed = false;
  while (!reads_.empty()) {
    Read& r = reads_.front();
    if (!r.active) {
      // Read timeouts, taken when the read becomes the current one:
      //   RI=MAXDWORD, RTM=0, RTC=0        return at once with what is queued
      //   RI=MAXDWORD, RTM=MAXDWORD,       return as soon as one byte is there,
      //     0<RTC<MAXDWORD                 or after RTC ms with nothing
      //   RTM, RTC (not both 0)            whole read ends after RTM*n+RTC ms
      //   RI (not 0, not MAXDWORD)         ends when RI ms pass between bytes,
      //                                    counted from the first byte
      //   all 0                            no timeout: waits for n bytes
      // A timed-out read completes successfully with the bytes it has.
      const COMMTIMEOUTS& t = timeouts_;
      r.active = true;
      r.immediate = t.ReadIntervalTimeout == MAXDWORD &&
                    t.ReadTotalTimeoutMultiplier == 0 && t.ReadTotalTimeoutConstant == 0;
      r.anyByte = t.ReadIntervalTimeout == MAXDWORD &&
                  t.ReadTotalTimeoutMultiplier == MAXDWORD &&
                  t.ReadTotalTimeoutConstant != 0 && t.ReadTotalTimeoutConstant != MAXDWORD;
      if (r.anyByte) {
        r.total = After(now, t.ReadTotalTimeoutConstant);
      } else if (!r.immediate &&
                 (t.ReadTotalTimeoutMultiplier != 0 || t.ReadTotalTimeoutConstant != 0)) {
        r.total = After(now, std::uint64_t{t.ReadTotalTimeoutMultiplier} * r.want +
                                 t.ReadTotalTimeoutConstant);
      }
      r.got = static_cast<DWORD>(input_.Pop(r.buffer, r.want));
      if (r.got > 0) {
        changed = true;
        if (t.ReadIntervalTimeout != 0 && t.ReadIntervalTimeout != MAXDWORD && !r.anyByte)
          r.interval = After(now, t.ReadIntervalTimeout);
      }
    }
    if (r.got == r.want || r.immediate || (r.anyByte && r.got > 0)) {
      Read done = r;
      reads_.pop_front();
      Complete(done.ov, ERROR_SUCCESS, done.got);
      changed = true;
      continue;
    }
    break;
  }
  return changed;
}

// Moves the head write's bytes into the output queue as room allows. A
// write completes when all its bytes are in the queue; the line drains the
// queue and EV_TXEMPTY marks the end.
bool CommDevice::ServiceWrites(Clock::time_point now) {
  bool changed = false;
  while (!writes_.empty()) {
    Write& w = writes_.front();
    if (!w.active) {
      // Write timeouts: WTM*n+WTC ms for the whole write (none when both are
      // 0); a timed-out write completes successfully with the bytes queued.
      w.active = true;
      const COMMTIMEOUTS& t = timeouts_;
      if (t.WriteTotalTimeoutMultiplier != 0 || t.WriteTotalTimeoutConstant != 0)
        w.deadline = After(now, std::uint64_t{t.WriteTotalTimeoutMultiplier} * w.count +
                                    t.WriteTotalTimeoutConstant);
    }
    std::size_t room = output_.size() < outCapacity_ ? outCapacity_ - output_.size() : 0;
    std::size_t take = std::min<std::size_t>(room, w.count - w.queued);
    if (take > 0) {
      output_.Push(w.buffer + w.queued, take);
      w.queued += static_cast<DWORD>(take);
      txPending_ = true;
      changed = true;
    }
    if (w.queued == w.count) {
      Write done = w;
      writes_.pop_front();
      Complete(done.ov, ERROR_SUCCESS, done.count);
      continue;
    }
    break;
  }
  return changed;
}

void CommDevice::Update() {
  if (closed_) return;
  const auto now = Clock::now();
  // Each round moves bytes or completes requests, so this ends; a write
  // larger than the output queue goes through a queue-full per round where
  // the line drains synchronously.
  for (;;) {
    bool changed = ServiceReads(now);
    changed = ServiceWrites(now) || changed;
    changed = LinePump() || changed;
    if (!changed) break;
  }
  // EV_TXEMPTY once the output queue and the line's own buffer are empty.
  if (txPending_ && output_.empty() && writes_.empty() && LineOutQueue() == 0) {
    txPending_ = false;
    Signal(EV_TXEMPTY);
  }
  UpdateFlow();
  LineWake();
}

void CommDevice::ExpireDeadlines(Clock::time_point now) {
  bool expired = false;
  if (!reads_.empty() && reads_.front().active &&
      (now >= reads_.front().total || now >= reads_.front().interval)) {
    Read r = reads_.front();
    reads_.pop_front();
    Complete(r.ov, ERROR_SUCCESS, r.got);
    expired = true;
  }
  if (!writes_.empty() && writes_.front().active && now >= writes_.front().deadline) {
    // The bytes not yet queued are dropped, as Windows drops the rest of a
    // timed-out write.
    Write w = writes_.front();
    writes_.pop_front();
    Complete(w.ov, ERROR_SUCCESS, w.queued);
    expired = true;
  }
  if (expired) Update();
}

Clock::time_point CommDevice::NextDeadline() const {
  auto next = Clock::time_point::max();
  if (!reads_.empty() && reads_.front().active)
    next = std::min({next, reads_.front().total, reads_.front().interval});
  if (!writes_.empty() && writes_.front().active) next = std::min(next, writes_.front().deadline);
  return next;
}

// ---------------------------------------------------------------------------
// Arrivals from the line (line threads, mu_ held).

void CommDevice::Deliver(const BYTE* data, std::size_t count) {
  if (count == 0) return;
  const auto now = Clock::now();
  // A pending read takes bytes first; the queue is empty while one is active.
  if (!reads_.empty()) {
    ServiceReads(now);  // activates the head read if needed
    if (!reads_.empty()) {
      Read& r = reads_.front();
      std::size_t take = std::min<std::size_t>(count, r.want - r.got);
      std::memcpy(r.buffer + r.got, data, take);
      r.got += static_cast<DWORD>(take);
      data += take;
      count -= take;
      if (take > 0 && timeouts_.ReadIntervalTimeout != 0 &&
          timeouts_.ReadIntervalTimeout != MAXDWORD && !r.anyByte)
        r.interval = After(now, timeouts_.ReadIntervalTimeout);
    }
  }
  if (count == 0) return;
  const std::size_t before = input_.size();
  std::size_t room = before < inCapacity_ ? inCapacity_ - before : 0;
  std::size_t take = std::min(room, count);
  input_.Push(data, take);
  if (take < count) RaiseErrors(CE_RXOVER);  // the rest is lost
  const std::size_t full80 = inCapacity_ - inCapacity_ / 5;
  if (before < full80 && input_.size() >= full80) Signal(EV_RX80FULL);
}

void CommDevice::OnBytes(const BYTE* data, std::size_t count) {
  if (closed_ || vanished_ != 0 || count == 0) return;
  // fDsrSensitivity: bytes are ignored while DSR is off.
  if (Has(dcb_, DCB_fDsrSensitivity) && LineHasModemLines() && !(modem_ & MS_DSR_ON)) return;
  const bool outX = Has(dcb_, DCB_fOutX) && !LineDoesXonXoff();
  const bool dropNull = Has(dcb_, DCB_fNull);
  const BYTE evtChar = static_cast<BYTE>(dcb_.EvtChar);
  DWORD events = 0;
  if (!outX && !dropNull) {
    events |= EV_RXCHAR;
    if (std::memchr(data, evtChar, count) != nullptr) events |= EV_RXFLAG;
    Deliver(data, count);
  } else {
    // Filter byte by byte, delivering runs of kept bytes.
    std::size_t start = 0;
    for (std::size_t i = 0; i <= count; ++i) {
      bool drop = false;
      if (i < count) {
        BYTE b = data[i];
        if (outX && b == static_cast<BYTE>(dcb_.XoffChar)) {
          xoffHeld_ = true;
          drop = true;
        } else if (outX && b == static_cast<BYTE>(dcb_.XonChar)) {
          xoffHeld_ = false;
          drop = true;
        } else if (dropNull && b == 0) {
          drop = true;
        }
      }
      if (drop || i == count) {
        if (i > start) {
          events |= EV_RXCHAR;
          if (std::memchr(data + start, evtChar, i - start) != nullptr) events |= EV_RXFLAG;
          Deliver(data + start, i - start);
        }
        start = i + 1;
      }
    }
  }
  Signal(events);
  Update();
}

void CommDevice::OnErrorByte(DWORD ceBits, BYTE byte) {
  if (closed_ || vanished_ != 0) return;
  if ((ceBits & (CE_RXPARITY | CE_FRAME)) && Has(dcb_, DCB_fErrorChar) && Has(dcb_, DCB_fParity))
    byte = static_cast<BYTE>(dcb_.ErrorChar);
  RaiseErrors(ceBits);
  OnBytes(&byte, 1);
}

void CommDevice::OnBreak() {
  if (closed_ || vanished_ != 0) return;
  LatchErrors(CE_BREAK);
  Signal(EV_BREAK | EV_ERR);
  Update();
}

void CommDevice::OnLineErrors(DWORD ceBits) {
  if (closed_ || vanished_ != 0 || ceBits == 0) return;
  RaiseErrors(ceBits);
  Update();
}

void CommDevice::OnModemStatus(DWORD status, DWORD extraEvents) {
  if (closed_ || vanished_ != 0) return;
  const DWORD changed = status ^ modem_;
  DWORD events = extraEvents;
  if (changed & MS_CTS_ON) events |= EV_CTS;
  if (changed & MS_DSR_ON) events |= EV_DSR;
  if (changed & MS_RLSD_ON) events |= EV_RLSD;
  // EV_RING on the trailing edge of RI, as a UART's TERI bit reports it.
  if ((changed & MS_RING_ON) && !(status & MS_RING_ON)) events |= EV_RING;
  modem_ = status;
  Signal(events);
  Update();  // CTS or DSR may release held output
}

void CommDevice::OnVanished(DWORD code) {
  if (closed_ || vanished_ != 0) return;
  vanished_ = code;
  AbortAll(code, true, true, true);
  input_.Clear();
  output_.Clear();
  LineWake();
}

// ---------------------------------------------------------------------------
// The Win32 surface (caller's thread).

// SetupComm: a size of 0 keeps the current one. The input size is a
// recommendation, as for the Windows driver: the line may keep a larger
// queue (LineInputQueue), and cbInQue, EV_RX80FULL and overflow follow the
// queue it really keeps. Unlike the Windows driver, which never shrinks its
// buffer, a smaller size applies at once; bytes already queued beyond it
// are kept, not dropped.
DWORD CommDevice::Setup(DWORD inQueue, DWORD outQueue) {
  std::lock_guard lock(mu_);
  if (DWORD e = Usable()) return e;
  if (inQueue != 0) {
    inRequested_ = inQueue;
    inCapacity_ = LineInputQueue(inQueue);
  }
  if (outQueue != 0) outCapacity_ = outQueue;
  Update();
  return ERROR_SUCCESS;
}

DWORD CommDevice::GetState(DCB& dcb) {
  std::lock_guard lock(mu_);
  if (DWORD e = Usable()) return e;
  dcb = dcb_;
  dcb.DCBlength = sizeof(DCB);
  return ERROR_SUCCESS;
}

// Rejected with ERROR_INVALID_PARAMETER, as Windows rejects them: ByteSize
// outside 5..8; Parity above SPACEPARITY; StopBits above TWOSTOPBITS; 1.5 stop
// bits with 6 to 8 data bits; 2 stop bits with 5 data bits; a zero baud rate;
// equal XonChar and XoffChar; fDtrControl 3; XonLim or XoffLim larger than the
// input queue asked for (SetupComm's size, whatever the line keeps). fBinary
// FALSE and EofChar are accepted and ignored (Windows supports binary mode
// only).
DWORD CommDevice::SetState(const DCB& dcb) {
  std::lock_guard lock(mu_);
  if (DWORD e = Usable()) return e;
  if (dcb.ByteSize < 5 || dcb.ByteSize > 8 || dcb.Parity > SPACEPARITY ||
      dcb.StopBits > TWOSTOPBITS || (dcb.StopBits == ONE5STOPBITS && dcb.ByteSize != 5) ||
      (dcb.StopBits == TWOSTOPBITS && dcb.ByteSize == 5) || dcb.BaudRate == 0 ||
      dcb.XonChar == dcb.XoffChar || DtrControl(dcb) == 0x30 ||
      dcb.XonLim > inRequested_ || dcb.XoffLim > inRequested_)
    return ERROR_INVALID_PARAMETER;
  if (DWORD e = LineConfigure(dcb)) return e;
  dcb_ = dcb;
  if (!Has(dcb_, DCB_fOutX)) xoffHeld_ = false;
  DriveLines(true);
  Update();
  return ERROR_SUCCESS;
}

DWORD CommDevice::GetTimeouts(COMMTIMEOUTS& timeouts) {
  std::lock_guard lock(mu_);
  if (DWORD e = Usable()) return e;
  timeouts = timeouts_;
  return ERROR_SUCCESS;
}

// New timeouts apply to reads and writes that start afterwards. Rejected:
// RI and RTM both MAXDWORD with RTC MAXDWORD (Windows rejects it too).
DWORD CommDevice::SetTimeouts(const COMMTIMEOUTS& timeouts) {
  std::lock_guard lock(mu_);
  if (DWORD e = Usable()) return e;
  if (timeouts.ReadIntervalTimeout == MAXDWORD &&
      timeouts.ReadTotalTimeoutMultiplier == MAXDWORD &&
      timeouts.ReadTotalTimeoutConstant == MAXDWORD)
    return ERROR_INVALID_PARAMETER;
  timeouts_ = timeouts;
  return ERROR_SUCCESS;
}

DWORD CommDevice::GetMask(DWORD& mask) {
  std::lock_guard lock(mu_);
  if (DWORD e = Usable()) return e;
  mask = mask_;
  return ERROR_SUCCESS;
}

// A new mask completes a pending wait successfully with mask 0 and clears
// the history, as the Windows driver does.
DWORD CommDevice::SetMask(DWORD mask) {
  std::lock_guard lock(mu_);
  if (DWORD e = Usable()) return e;
  if (mask & ~kAllEvents) return ERROR_INVALID_PARAMETER;
  mask_ = mask;
  history_ = 0;
  unannounced_ = 0;
  carried_ = 0;
  AbortAll(ERROR_SUCCESS, false, false, true);
  return ERROR_SUCCESS;
}

// One wait at a time (a second gives ERROR_INVALID_PARAMETER, as does an
// empty mask). Events that happened while no wait was pending complete the
// new wait at once.
DWORD CommDevice::StartWaitEvent(DWORD* mask, OVERLAPPED* ov) {
  std::lock_guard lock(mu_);
  if (DWORD e = Usable()) return e;
  if (waitOv_ != nullptr || mask_ == 0) return ERROR_INVALID_PARAMETER;
  StartOverlapped(ov);
  if (history_ != 0) {
    *mask = history_;
    Announced(history_);
    history_ = 0;
    Complete(ov, ERROR_SUCCESS, 0);
    return ERROR_SUCCESS;
  }
  *mask = 0;
  waitOv_ = ov;
  waitMask_ = mask;
  return ERROR_IO_PENDING;
}

DWORD CommDevice::StartRead(BYTE* buffer, DWORD count, OVERLAPPED* ov, DWORD* done) {
  std::lock_guard lock(mu_);
  *done = 0;
  if (DWORD e = Usable()) return e;
  if (Has(dcb_, DCB_fAbortOnError) && errors_ != 0) return ERROR_OPERATION_ABORTED;
  if (reads_.empty()) LineFetch();
  StartOverlapped(ov);
  reads_.push_back(Read{ov, buffer, count});
  const bool alone = reads_.size() == 1;
  Update();
  if (alone && OverlappedStatus(ov) != STATUS_PENDING) {
    *done = static_cast<DWORD>(ov->InternalHigh);
    return ERROR_SUCCESS;
  }
  return ERROR_IO_PENDING;
}

DWORD CommDevice::StartWrite(const BYTE* buffer, DWORD count, OVERLAPPED* ov, DWORD* done) {
  std::lock_guard lock(mu_);
  *done = 0;
  if (DWORD e = Usable()) return e;
  if (Has(dcb_, DCB_fAbortOnError) && errors_ != 0) return ERROR_OPERATION_ABORTED;
  StartOverlapped(ov);
  writes_.push_back(Write{ov, buffer, count});
  const bool alone = writes_.size() == 1;
  Update();
  if (alone && OverlappedStatus(ov) != STATUS_PENDING) {
    *done = static_cast<DWORD>(ov->InternalHigh);
    return ERROR_SUCCESS;
  }
  return ERROR_IO_PENDING;
}

// TXABORT/RXABORT end pending writes/reads with ERROR_OPERATION_ABORTED;
// TXCLEAR/RXCLEAR empty the output/input queue (and the line's buffers).
DWORD CommDevice::Purge(DWORD flags) {
  std::lock_guard lock(mu_);
  if (DWORD e = Usable()) return e;
  const DWORD all = PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR;
  if (flags == 0 || (flags & ~all)) return ERROR_INVALID_PARAMETER;
  AbortAll(ERROR_OPERATION_ABORTED, flags & PURGE_RXABORT, flags & PURGE_TXABORT, false);
  if (flags & PURGE_TXCLEAR) output_.Clear();
  if (flags & PURGE_RXCLEAR) input_.Clear();
  if (flags & (PURGE_TXCLEAR | PURGE_RXCLEAR))
    LinePurge(flags & PURGE_RXCLEAR, flags & PURGE_TXCLEAR);
  Update();
  return ERROR_SUCCESS;
}

DWORD CommDevice::ClearError(DWORD* errors, COMSTAT* stat) {
  std::lock_guard lock(mu_);
  if (DWORD e = Usable()) return e;
  LineFetch();
  if (DWORD e = Usable()) return e;
  // Errors whose EV_ERR has not reached a wait yet are reported again by
  // the next call after it has: a program that reads its input (and with
  // it these bits) between two event batches still learns of them when it
  // handles the EV_ERR. Windows clears them here for good.
  const DWORD report = errors_ | carried_;
  if (errors != nullptr) *errors = report;
  errors_ = 0;
  carried_ = (history_ & EV_ERR) ? report & unannounced_ : 0;
  if (stat != nullptr) {
    DWORD unqueued = 0;
    for (const Write& w : writes_) unqueued += w.count - w.queued;
    stat->cbInQue = static_cast<DWORD>(input_.size());
    stat->cbOutQue = static_cast<DWORD>(output_.size()) + unqueued + LineOutQueue();
    DWORD flags = 0;
    if (LineHasModemLines()) {
      if (Has(dcb_, DCB_fOutxCtsFlow) && !(modem_ & MS_CTS_ON)) flags |= kCtsHold;
      if (Has(dcb_, DCB_fOutxDsrFlow) && !(modem_ & MS_DSR_ON)) flags |= kDsrHold;
    }
    if (xoffHeld_) flags |= kXoffHold;
    if (xoffSent_) flags |= kXoffSent;
    stat->Flags = flags;
  }
  return ERROR_SUCCESS;
}

DWORD CommDevice::ModemStatus(DWORD& status) {
  std::lock_guard lock(mu_);
  if (DWORD e = Usable()) return e;
  status = LineModemStatus();
  return ERROR_SUCCESS;
}

void CommDevice::WaitCompletion(const OVERLAPPED* ov) {
  std::unique_lock lock(mu_);
  done_.wait(lock, [&] { return OverlappedStatus(ov) != STATUS_PENDING; });
}

BOOL CommDevice::Close() {
  {
    std::lock_guard lock(mu_);
    if (closed_) return TRUE;
    AbortAll(ERROR_OPERATION_ABORTED, true, true, true);
    closed_ = true;
  }
  LineStop();
  return TRUE;
}

}  // namespace win32
