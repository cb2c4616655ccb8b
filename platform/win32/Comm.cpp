// The Win32 file and communications calls: argument checks, the call log of
// the virtual device, and the blocking form of the I/O calls. The device
// semantics live in CommDevice.
#include <cstring>

#include "Devices.h"

using namespace win32;

namespace {

// Records a call on a device that keeps a log and returns the fault
// injected for it (0 when none). `fill` adds the arguments.
template <typename Fill>
DWORD Enter(CommDevice& device, const char* function, Fill fill) {
  if (!device.Logging()) return 0;
  DeviceCall call;
  call.function = function;
  fill(call);
  return device.Log(std::move(call));
}

DWORD Enter(CommDevice& device, const char* function) {
  return Enter(device, function, [](DeviceCall&) {});
}

BOOL Result(DWORD error) { return error == ERROR_SUCCESS ? TRUE : Fail(error); }

// Starting I/O on a valid handle resets the request's event first, also
// when the request then fails at once, as Windows does: a thread that waits
// on the event after a failed start blocks instead of finding the signal of
// an earlier request (which would make an event loop spin).
void ResetRequestEvent(OVERLAPPED* ov) {
  if (ov != nullptr && ov->hEvent != nullptr) ResetEvent(ov->hEvent);
}

// Starts a request; where the caller did not ask for overlapped completion
// (no OVERLAPPED, or a handle opened without FILE_FLAG_OVERLAPPED) it runs on
// a private OVERLAPPED and blocks until done, copying the outcome into the
// caller's OVERLAPPED if one was given.
template <typename Start>
BOOL Run(CommDevice& device, OVERLAPPED* ov, DWORD* transferred, Start start) {
  DWORD done = 0;
  if (ov != nullptr && device.OverlappedHandle()) {
    DWORD error = start(ov, &done);
    if (transferred != nullptr) *transferred = done;
    return Result(error);
  }
  OVERLAPPED own{};
  DWORD error = start(&own, &done);
  if (error == ERROR_IO_PENDING) {
    device.WaitCompletion(&own);
    error = static_cast<DWORD>(OverlappedStatus(&own));
    done = static_cast<DWORD>(own.InternalHigh);
  }
  if (ov != nullptr) {
    ov->InternalHigh = done;
    ov->Internal = error;
    if (ov->hEvent != nullptr) SetEvent(ov->hEvent);
  }
  if (transferred != nullptr) *transferred = done;
  return Result(error);
}

}  // namespace

// Opens "\\.\NAME" (or NAME) exclusively. creationDisposition must be
// OPEN_EXISTING; the share mode is ignored: serial devices are always
// exclusive. Last errors: ERROR_INVALID_PARAMETER (no name, another
// disposition, a template), ERROR_FILE_NOT_FOUND (no such port),
// ERROR_ACCESS_DENIED (already open, or no permission), others from the
// device (Errors.h).
HANDLE CreateFileA(LPCSTR fileName, DWORD desiredAccess, DWORD shareMode,
                   LPSECURITY_ATTRIBUTES, DWORD creationDisposition,
                   DWORD flagsAndAttributes, HANDLE templateFile) {
  if (fileName == nullptr || creationDisposition != OPEN_EXISTING || templateFile != nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE;
  }
  const bool overlapped = (flagsAndAttributes & FILE_FLAG_OVERLAPPED) != 0;
  PortTarget target;
  if (!ResolvePortName(fileName, target)) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
  }
  DWORD error = ERROR_SUCCESS;
  std::shared_ptr<CommDevice> device =
      target.device ? OpenVirtual(target.device, fileName, desiredAccess, shareMode, overlapped, error)
                    : OpenTty(target.path, overlapped, error);
  if (!device) {
    SetLastError(error);
    return INVALID_HANDLE_VALUE;
  }
  return InsertHandle(std::move(device));
}

// Last errors: ERROR_INVALID_HANDLE, ERROR_INVALID_PARAMETER (no buffer),
// ERROR_IO_PENDING (overlapped, still running), ERROR_OPERATION_ABORTED
// (fAbortOnError with an uncleared error), ERROR_DEVICE_NOT_CONNECTED.
BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD count, LPDWORD read, LPOVERLAPPED ov) {
  auto device = Lookup<CommDevice>(file);
  if (!device) return FALSE;
  ResetRequestEvent(ov);
  if (DWORD fault = Enter(*device, "ReadFile", [&](DeviceCall& c) { c.arg1 = count; }))
    return Fail(fault);
  if (buffer == nullptr && count != 0) return Fail(ERROR_INVALID_PARAMETER);
  return Run(*device, ov, read, [&](OVERLAPPED* o, DWORD* done) {
    return device->StartRead(static_cast<BYTE*>(buffer), count, o, done);
  });
}

// Last errors: as ReadFile. A write completes when all its bytes are in the
// output queue, or, after WriteTotalTimeoutMultiplier*n+Constant ms,
// successfully with the bytes queued so far.
BOOL WriteFile(HANDLE file, LPCVOID buffer, DWORD count, LPDWORD written, LPOVERLAPPED ov) {
  auto device = Lookup<CommDevice>(file);
  if (!device) return FALSE;
  ResetRequestEvent(ov);
  if (DWORD fault = Enter(*device, "WriteFile", [&](DeviceCall& c) {
        c.arg1 = count;
        if (buffer != nullptr) c.data.assign(static_cast<const char*>(buffer), count);
      }))
    return Fail(fault);
  if (buffer == nullptr && count != 0) return Fail(ERROR_INVALID_PARAMETER);
  return Run(*device, ov, written, [&](OVERLAPPED* o, DWORD* done) {
    return device->StartWrite(static_cast<const BYTE*>(buffer), count, o, done);
  });
}

// Reads the outcome of an overlapped request. Last errors: the request's
// own code when it failed, ERROR_IO_INCOMPLETE (still running, wait FALSE),
// ERROR_INVALID_PARAMETER (no OVERLAPPED), ERROR_INVALID_HANDLE (waiting on
// a request without an event, through a bad handle).
BOOL GetOverlappedResult(HANDLE file, LPOVERLAPPED ov, LPDWORD transferred, BOOL wait) {
  auto device = Lookup<CommDevice>(file);
  if (device) {
    if (DWORD fault = Enter(*device, "GetOverlappedResult",
                            [&](DeviceCall& c) { c.arg1 = static_cast<DWORD>(wait); }))
      return Fail(fault);
  }
  if (ov == nullptr) return Fail(ERROR_INVALID_PARAMETER);
  ULONG_PTR status = OverlappedStatus(ov);
  if (status == STATUS_PENDING) {
    if (wait == FALSE) return Fail(ERROR_IO_INCOMPLETE);
    if (ov->hEvent != nullptr) {
      if (WaitForSingleObject(ov->hEvent, INFINITE) == WAIT_FAILED) return FALSE;
    }
    status = OverlappedStatus(ov);
    if (status == STATUS_PENDING) {
      if (!device) return Fail(ERROR_INVALID_HANDLE);
      device->WaitCompletion(ov);
      status = OverlappedStatus(ov);
    }
  }
  if (transferred != nullptr) *transferred = static_cast<DWORD>(ov->InternalHigh);
  return Result(static_cast<DWORD>(status));
}

// Last errors (all comm calls): ERROR_INVALID_HANDLE (not an open serial
// device), ERROR_DEVICE_NOT_CONNECTED (the device is gone).
BOOL SetupComm(HANDLE file, DWORD inQueue, DWORD outQueue) {
  auto device = Lookup<CommDevice>(file);
  if (!device) return FALSE;
  if (DWORD fault = Enter(*device, "SetupComm", [&](DeviceCall& c) {
        c.arg1 = inQueue;
        c.arg2 = outQueue;
      }))
    return Fail(fault);
  return Result(device->Setup(inQueue, outQueue));
}

// Last errors: ERROR_INVALID_PARAMETER (no DCB).
BOOL GetCommState(HANDLE file, LPDCB dcb) {
  auto device = Lookup<CommDevice>(file);
  if (!device) return FALSE;
  if (DWORD fault = Enter(*device, "GetCommState")) return Fail(fault);
  if (dcb == nullptr) return Fail(ERROR_INVALID_PARAMETER);
  return Result(device->GetState(*dcb));
}

// Last errors: ERROR_INVALID_PARAMETER (no DCB, or settings Windows rejects:
// see CommDevice::SetState), errors of the line (termios).
BOOL SetCommState(HANDLE file, LPDCB dcb) {
  auto device = Lookup<CommDevice>(file);
  if (!device) return FALSE;
  if (DWORD fault = Enter(*device, "SetCommState", [&](DeviceCall& c) {
        if (dcb != nullptr) c.dcb = *dcb;
      }))
    return Fail(fault);
  if (dcb == nullptr) return Fail(ERROR_INVALID_PARAMETER);
  return Result(device->SetState(*dcb));
}

// Last errors: ERROR_INVALID_PARAMETER (no structure).
BOOL GetCommTimeouts(HANDLE file, LPCOMMTIMEOUTS timeouts) {
  auto device = Lookup<CommDevice>(file);
  if (!device) return FALSE;
  if (DWORD fault = Enter(*device, "GetCommTimeouts")) return Fail(fault);
  if (timeouts == nullptr) return Fail(ERROR_INVALID_PARAMETER);
  return Result(device->GetTimeouts(*timeouts));
}

// Last errors: ERROR_INVALID_PARAMETER (no structure, or all three read
// values MAXDWORD).
BOOL SetCommTimeouts(HANDLE file, LPCOMMTIMEOUTS timeouts) {
  auto device = Lookup<CommDevice>(file);
  if (!device) return FALSE;
  if (DWORD fault = Enter(*device, "SetCommTimeouts", [&](DeviceCall& c) {
        if (timeouts != nullptr) c.timeouts = *timeouts;
      }))
    return Fail(fault);
  if (timeouts == nullptr) return Fail(ERROR_INVALID_PARAMETER);
  return Result(device->SetTimeouts(*timeouts));
}

// Last errors: ERROR_INVALID_PARAMETER (no mask variable).
BOOL GetCommMask(HANDLE file, LPDWORD mask) {
  auto device = Lookup<CommDevice>(file);
  if (!device) return FALSE;
  if (DWORD fault = Enter(*device, "GetCommMask")) return Fail(fault);
  if (mask == nullptr) return Fail(ERROR_INVALID_PARAMETER);
  return Result(device->GetMask(*mask));
}

// Last errors: ERROR_INVALID_PARAMETER (bits outside EV_RXCHAR..EV_EVENT2).
BOOL SetCommMask(HANDLE file, DWORD mask) {
  auto device = Lookup<CommDevice>(file);
  if (!device) return FALSE;
  if (DWORD fault = Enter(*device, "SetCommMask", [&](DeviceCall& c) { c.arg1 = mask; }))
    return Fail(fault);
  return Result(device->SetMask(mask));
}

// Last errors: ERROR_IO_PENDING (overlapped, waiting), ERROR_INVALID_PARAMETER
// (no mask variable, a wait already pending, or an empty event mask).
BOOL WaitCommEvent(HANDLE file, LPDWORD mask, LPOVERLAPPED ov) {
  auto device = Lookup<CommDevice>(file);
  if (!device) return FALSE;
  ResetRequestEvent(ov);
  if (DWORD fault = Enter(*device, "WaitCommEvent")) return Fail(fault);
  if (mask == nullptr) return Fail(ERROR_INVALID_PARAMETER);
  return Run(*device, ov, nullptr,
             [&](OVERLAPPED* o, DWORD*) { return device->StartWaitEvent(mask, o); });
}

// Last errors: ERROR_INVALID_PARAMETER (flags 0 or outside the four PURGE_*).
BOOL PurgeComm(HANDLE file, DWORD flags) {
  auto device = Lookup<CommDevice>(file);
  if (!device) return FALSE;
  if (DWORD fault = Enter(*device, "PurgeComm", [&](DeviceCall& c) { c.arg1 = flags; }))
    return Fail(fault);
  return Result(device->Purge(flags));
}

// Either pointer may be null.
BOOL ClearCommError(HANDLE file, LPDWORD errors, LPCOMSTAT stat) {
  auto device = Lookup<CommDevice>(file);
  if (!device) return FALSE;
  if (DWORD fault = Enter(*device, "ClearCommError")) return Fail(fault);
  return Result(device->ClearError(errors, stat));
}

// Last errors: ERROR_INVALID_PARAMETER (no status variable).
BOOL GetCommModemStatus(HANDLE file, LPDWORD status) {
  auto device = Lookup<CommDevice>(file);
  if (!device) return FALSE;
  if (DWORD fault = Enter(*device, "GetCommModemStatus")) return Fail(fault);
  if (status == nullptr) return Fail(ERROR_INVALID_PARAMETER);
  return Result(device->ModemStatus(*status));
}
