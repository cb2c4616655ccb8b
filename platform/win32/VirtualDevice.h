// An in-memory serial device registered under a port name. CreateFileA opens
// it like any other port ("\\.\COM5" finds a device registered as "COM5");
// this class is its far side: the line and the modem at the other end.
//
// All members are thread-safe: tests drive the far side from their own thread
// while the engine's threads use the near side through the Win32 calls.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "win32.h"

namespace win32 {

// One call made on the near side, with its arguments as given.
struct DeviceCall {
  std::string function;    // "CreateFileA", "SetCommState", "PurgeComm", ...
  std::string path;        // CreateFileA: the path as passed
  DWORD arg1 = 0;          // first integer argument (access, queue in, mask, flags, count)
  DWORD arg2 = 0;          // second integer argument (share mode, queue out, ...)
  std::optional<DCB> dcb;  // SetCommState
  std::optional<COMMTIMEOUTS> timeouts;  // SetCommTimeouts
  std::string data;        // WriteFile: the bytes handed over
};

// DTR and RTS as the line settings drive them, one entry per change.
struct LineChange {
  bool dtr;
  bool rts;
};

class VirtualDevice {
 public:
  // Registers a device under `name` (case-insensitive, like Windows port
  // names). Replaces an earlier registration of the same name.
  static std::shared_ptr<VirtualDevice> Register(const std::string& name);
  // Removes the registration; an open handle keeps working until unplugged
  // or closed.
  static void Unregister(const std::string& name);

  virtual ~VirtualDevice() = default;

  virtual const std::string& Name() const = 0;
  virtual bool IsOpen() const = 0;

  // --- the line -----------------------------------------------------------
  // Bytes arriving from the line into the input queue, as a UART would
  // deliver them: fNull, EvtChar, EV_RX80FULL and queue overflow apply.
  virtual void Feed(const std::string& bytes) = 0;
  // Takes (and removes) everything the near side has written so far.
  virtual std::string TakeWritten() = 0;
  // Blocks until at least `count` written bytes are waiting or the timeout
  // passes; returns what TakeWritten would return without removing it.
  virtual std::string WaitWritten(std::size_t count,
                                  std::chrono::milliseconds timeout) = 0;
  // While paused, written bytes stay in the output queue: cbOutQue stays
  // non-zero and EV_TXEMPTY does not fire. Resuming drains them at once.
  virtual void PauseDrain(bool paused) = 0;

  // --- modem lines ---------------------------------------------------------
  virtual void SetCTS(bool on) = 0;
  virtual void SetDSR(bool on) = 0;
  virtual void SetRLSD(bool on) = 0;
  // A ring: RI goes on and off again (EV_RING fires once).
  virtual void Ring() = 0;
  virtual void SetRI(bool on) = 0;
  // DTR and RTS: both go on when the device is opened (as a port's driver
  // raises them), then follow SetCommState and the handshakes; both go off
  // at CloseHandle. LineHistory has one entry per change made by
  // SetCommState only.
  virtual bool DTR() const = 0;
  virtual bool RTS() const = 0;
  virtual std::vector<LineChange> LineHistory() const = 0;

  // --- faults --------------------------------------------------------------
  // Receives a byte with a line error: CE_RXPARITY, CE_FRAME or CE_OVERRUN.
  // The byte enters the queue (ErrorChar replaces it when fErrorChar is set),
  // the error bit is latched and EV_ERR fires.
  virtual void InjectError(DWORD ceBits, char byte = '\0') = 0;
  // A break on the line: CE_BREAK latched, EV_BREAK and EV_ERR fire.
  virtual void InjectBreak() = 0;
  // The next call of `function` (a Win32 name such as "SetCommState") on this
  // device fails with `error`; later calls succeed again.
  virtual void FailNext(const std::string& function, DWORD error) = 0;
  // The device disappears: pending requests complete with
  // ERROR_DEVICE_NOT_CONNECTED (WaitCommEvent completes with mask 0), later
  // calls on the handle fail with the same code, opening it fails with 2.
  virtual void Unplug() = 0;

  // --- the call log --------------------------------------------------------
  virtual std::vector<DeviceCall> Calls() const = 0;
  virtual void ClearCalls() = 0;
};

}  // namespace win32
