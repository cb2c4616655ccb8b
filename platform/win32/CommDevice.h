// The Win32 serial-driver semantics shared by every serial device: the
// driver's input and output queues, overlapped reads, writes and event
// waits, timeouts as deadlines, the event history of WaitCommEvent, line
// errors, modem-line events and the flow-control decisions that termios
// cannot make. A concrete device (a tty, a virtual device) supplies the line
// beneath through the Line* hooks and feeds what arrives through the On*
// calls.
//
// Locking: one mutex per device (mu_). Every Win32 entry point takes it on
// the calling thread; the device's own threads take it to feed data and to
// expire deadlines. Completing a request writes the caller's buffer, mask
// and OVERLAPPED under mu_ and then signals the request's event; the event
// code never calls back into a device, so there is no lock-order cycle.
#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>

#include "ByteQueue.h"
#include "Kernel.h"
#include "VirtualDevice.h"
#include "win32.h"

namespace win32 {

using Clock = std::chrono::steady_clock;

// Marks an overlapped request as running: Internal = STATUS_PENDING,
// InternalHigh = 0, and its event (if any) reset.
void StartOverlapped(OVERLAPPED* ov);
// Writes the byte count and status (release order, race-free for a caller
// that polls Internal), then signals the request's event.
void CompleteOverlapped(OVERLAPPED* ov, DWORD status, DWORD bytes);
// Reads Internal with acquire order.
ULONG_PTR OverlappedStatus(const OVERLAPPED* ov);

class CommDevice : public KernelObject {
 public:
  static constexpr ObjectType kType = ObjectType::CommDevice;

  explicit CommDevice(bool overlapped);
  ~CommDevice() override = default;

  // True when the handle was opened with FILE_FLAG_OVERLAPPED; otherwise
  // the I/O calls block until their request completes.
  bool OverlappedHandle() const { return overlapped_; }

  // --- the Win32 surface: any thread; each returns a Win32 error code,
  // ERROR_SUCCESS, or ERROR_IO_PENDING for a request still running --------
  DWORD Setup(DWORD inQueue, DWORD outQueue);
  DWORD GetState(DCB& dcb);
  DWORD SetState(const DCB& dcb);
  DWORD GetTimeouts(COMMTIMEOUTS& timeouts);
  DWORD SetTimeouts(const COMMTIMEOUTS& timeouts);
  DWORD GetMask(DWORD& mask);
  DWORD SetMask(DWORD mask);
  DWORD StartWaitEvent(DWORD* mask, OVERLAPPED* ov);
  DWORD StartRead(BYTE* buffer, DWORD count, OVERLAPPED* ov, DWORD* done);
  DWORD StartWrite(const BYTE* buffer, DWORD count, OVERLAPPED* ov, DWORD* done);
  DWORD Purge(DWORD flags);
  DWORD ClearError(DWORD* errors, COMSTAT* stat);
  DWORD ModemStatus(DWORD& status);
  // Blocks until the request is no longer pending (GetOverlappedResult on a
  // request without an event, and the blocking calls of a handle opened
  // without FILE_FLAG_OVERLAPPED).
  void WaitCompletion(const OVERLAPPED* ov);
  // CloseHandle: pending requests complete with ERROR_OPERATION_ABORTED, the
  // device's threads stop and the line is released before this returns.
  BOOL Close();

  // Called by the opener once the line is ready: reads the modem lines and
  // drives DTR and RTS as the initial settings say (both on, as the serial
  // drivers of both systems do at open).
  void Begin();

  // --- call log and fault injection (the virtual device) ------------------
  virtual bool Logging() const { return false; }
  // Records a call; returns the Win32 error injected for this call, or 0.
  virtual DWORD Log(DeviceCall call) {
    (void)call;
    return 0;
  }

 protected:
  // --- the line beneath: implemented by each device, called with mu_ held
  // (except LineStop) --------------------------------------------------------
  // Applies validated line settings. Returns a Win32 error, or 0.
  virtual DWORD LineConfigure(const DCB& dcb) = 0;
  // Drives DTR and RTS; bySetState marks changes made by SetCommState.
  virtual void LineDrive(bool dtr, bool rts, bool bySetState) = 0;
  // Current MS_* bits; 0 for a device without modem lines.
  virtual DWORD LineModemStatus() = 0;
  virtual bool LineHasModemLines() const = 0;
  // True where the line itself obeys XON/XOFF received (termios IXON) and
  // sends them (IXOFF), so the core must not.
  virtual bool LineDoesXonXoff() const = 0;
  // True where the line itself does CTS output flow and RTS input handshake
  // together (termios CRTSCTS) for these settings.
  virtual bool LineDoesCtsRts(const DCB& dcb) const = 0;
  // The input queue the line really keeps when SetupComm asks for
  // `requested` bytes (the virtual device keeps exactly what is asked).
  virtual std::size_t LineInputQueue(std::size_t requested) const { return requested; }
  // Bytes the line has accepted but not yet sent (a tty's kernel buffer).
  virtual DWORD LineOutQueue() = 0;
  virtual void LinePurge(bool rx, bool tx) = 0;
  // Sends a flow-control character ahead of the output queue (core-driven
  // XON/XOFF input flow, only where LineDoesXonXoff() is false).
  virtual void LineSendFlowChar(char c) { (void)c; }
  // Moves bytes from the output queue onto the line where the line can take
  // them synchronously (the virtual device); returns true if it took any.
  virtual bool LinePump() { return false; }
  // Takes what the line has received so far without waiting (the caller's
  // thread, before ClearCommError and ReadFile look at the queue).
  virtual void LineFetch() {}
  // The device state changed: the line's thread should look at it again.
  virtual void LineWake() = 0;
  // Stops the line's threads and releases the line. Called once, without
  // mu_, after the device has been marked closed.
  virtual void LineStop() = 0;

  // --- what arrives from the line: the line's threads, mu_ held ------------
  // Bytes received without error. Applies fDsrSensitivity, XON/XOFF (where
  // the core does it), fNull, EvtChar, EV_RX80FULL and queue overflow.
  void OnBytes(const BYTE* data, std::size_t count);
  // One byte received with a line error (CE_RXPARITY, CE_FRAME, CE_OVERRUN):
  // the byte enters the queue (ErrorChar replaces it when fErrorChar and
  // fParity are set), the error is latched and EV_ERR fires.
  void OnErrorByte(DWORD ceBits, BYTE byte);
  // A break: CE_BREAK latched, EV_BREAK and EV_ERR fire.
  void OnBreak();
  // Errors found outside the byte stream (overrun counters).
  void OnLineErrors(DWORD ceBits);
  // New modem status; `extraEvents` carries edges seen by counters that the
  // levels no longer show (a short ring pulse).
  void OnModemStatus(DWORD status, DWORD extraEvents = 0);
  // The device is gone: pending and later requests fail with `code`, a
  // pending event wait completes with mask 0.
  void OnVanished(DWORD code);
  // Re-evaluates queues, requests, flow control and EV_TXEMPTY after any
  // change, then wakes the line.
  void Update();
  // Completes timed-out requests.
  void ExpireDeadlines(Clock::time_point now);
  // The earliest request deadline, or Clock::time_point::max().
  Clock::time_point NextDeadline() const;

  // Room for received bytes: what the head read still wants plus free space
  // in the input queue.
  std::size_t InputRoom() const;
  // Output flow stopped by CTS, DSR or a received XOFF.
  bool OutputHeld() const;

  std::mutex mu_;
  ByteQueue output_;  // the driver's output queue, drained by the line
  DCB dcb_{};
  bool closed_ = false;
  DWORD vanished_ = 0;  // the failure code once the device is gone

 private:
  struct Read {
    OVERLAPPED* ov;
    BYTE* buffer;
    DWORD want;
    DWORD got = 0;
    bool active = false;
    bool anyByte = false;    // return as soon as one byte is there
    bool immediate = false;  // return at once with what is queued
    Clock::time_point total = Clock::time_point::max();
    Clock::time_point interval = Clock::time_point::max();
  };
  struct Write {
    OVERLAPPED* ov;
    const BYTE* buffer;
    DWORD count;
    DWORD queued = 0;
    bool active = false;
    Clock::time_point deadline = Clock::time_point::max();
  };

  DWORD Usable() const;  // closed, vanished or aborted-on-error state
  void Complete(OVERLAPPED* ov, DWORD status, DWORD bytes);
  void Signal(DWORD events);
  void Deliver(const BYTE* data, std::size_t count);
  void LatchErrors(DWORD ceBits);
  // Latches errors and fires EV_ERR for those it announces.
  void RaiseErrors(DWORD ceBits);
  // A wait completed with `events`.
  void Announced(DWORD events);
  void AbortAll(DWORD code, bool reads, bool writes, bool wait);
  bool ServiceReads(Clock::time_point now);
  bool ServiceWrites(Clock::time_point now);
  void UpdateFlow();
  void DriveLines(bool bySetState);

  const bool overlapped_;
  std::condition_variable done_;  // any request completed
  ByteQueue input_;
  std::size_t inCapacity_ = 4096;   // the queue kept (LineInputQueue)
  std::size_t inRequested_ = 4096;  // the queue SetupComm asked for
  std::size_t outCapacity_ = 4096;
  COMMTIMEOUTS timeouts_{};
  DWORD mask_ = 0;
  DWORD history_ = 0;
  DWORD errors_ = 0;
  DWORD unannounced_ = 0;  // errors raised since EV_ERR last reached a wait
  DWORD carried_ = 0;      // errors ClearCommError reports again (see ClearError)
  DWORD modem_ = 0;
  OVERLAPPED* waitOv_ = nullptr;
  DWORD* waitMask_ = nullptr;
  std::deque<Read> reads_;
  std::deque<Write> writes_;
  bool txPending_ = false;     // bytes entered the output queue since EV_TXEMPTY
  bool inputStopped_ = false;  // input flow control has stopped the sender
  bool xoffHeld_ = false;      // an XOFF was received (core-driven XON/XOFF)
  bool xoffSent_ = false;
  bool dtr_ = false;
  bool rts_ = false;
  bool linesDriven_ = false;
};

}  // namespace win32
