// Overlapped transfers and line-status queries. Every operation runs on the
// calling thread and blocks it until the driver has completed the transfer:
// the user-interface thread for the window's calls and for the dispatch under
// smThreadSync and smWindowSync, the event thread for the dispatch under
// smNone.
#include <cstring>

#include "CPort.h"
#include "CPortDetail.h"

using cport_detail::RaiseLastError;

// ---------------------------------------------------------------------------
// Requests.

// The event starts signalled, so waiting for a request on which nothing was
// started returns at once. A request whose event could not be made keeps the
// error; the start operations refuse it, so the driver never gets an
// OVERLAPPED it cannot signal.
void CreateRequest(PAsync& request) {
  auto* r = new AsyncRequest;
  std::memset(&r->Overlapped, 0, sizeof r->Overlapped);
  r->Overlapped.hEvent = CreateEventA(nullptr, TRUE, TRUE, nullptr);
  r->EventError = r->Overlapped.hEvent ? 0 : GetLastError();
  r->RequestKind = rkWrite;
  r->TxCopy = nullptr;
  r->TxCopySize = 0;
  r->Started = false;
  request = r;
}

void FreeRequest(PAsync& request) {
  if (!request) return;
  if (request->Overlapped.hEvent) CloseHandle(request->Overlapped.hEvent);
  delete[] request->TxCopy;
  delete request;
  request = nullptr;
}

namespace {

// Frees the request of one synchronous transfer on every exit. A transfer
// still running (a link handler raised after the start) is waited for first:
// the driver writes into the OVERLAPPED block until it completes.
class RequestScope {
 public:
  RequestScope() { CreateRequest(request); }
  ~RequestScope() {
    if (request && request->Started) WaitForSingleObject(request->Overlapped.hEvent, INFINITE);
    FreeRequest(request);
  }
  RequestScope(const RequestScope&) = delete;
  RequestScope& operator=(const RequestScope&) = delete;
  PAsync request = nullptr;
};

}  // namespace

int TCustomComPort::StartWrite(const void* buffer, int count, PAsync& request) {
  if (!request || count < 0) throw EComPort(ecBadRequest);
  if (!request->Overlapped.hEvent) throw EComPort(ecWriteFailed, static_cast<int>(request->EventError));
  request->RequestKind = rkWrite;
  delete[] request->TxCopy;
  request->TxCopy = nullptr;
  request->TxCopySize = 0;
  request->TxCopy = new char[count > 0 ? count : 1];
  if (count > 0) std::memcpy(request->TxCopy, buffer, static_cast<std::size_t>(count));
  request->TxCopySize = count;
  DWORD written = 0;
  if (!WriteFile(FDeviceHandle, buffer, static_cast<DWORD>(count), &written, &request->Overlapped)) {
    const DWORD error = GetLastError();
    if (error != ERROR_IO_PENDING) throw EComPort(ecWriteFailed, static_cast<int>(error));
  }
  request->Started = true;
  NotifyLinksSignal(lnTx, true);
  return static_cast<int>(written);
}

int TCustomComPort::StartTextWrite(const std::string& text, PAsync& request) {
  if (text.empty()) return 0;
  return StartWrite(text.data(), static_cast<int>(text.size()), request);
}

int TCustomComPort::StartRead(void* buffer, int count, PAsync& request) {
  if (!request || count < 0) throw EComPort(ecBadRequest);
  if (!request->Overlapped.hEvent) throw EComPort(ecReadFailed, static_cast<int>(request->EventError));
  request->RequestKind = rkRead;
  DWORD read = 0;
  if (!ReadFile(FDeviceHandle, buffer, static_cast<DWORD>(count), &read, &request->Overlapped)) {
    const DWORD error = GetLastError();
    if (error != ERROR_IO_PENDING) throw EComPort(ecReadFailed, static_cast<int>(error));
  }
  request->Started = true;
  return static_cast<int>(read);
}

int TCustomComPort::StartTextRead(std::string& text, int count, PAsync& request) {
  text.resize(count > 0 ? static_cast<std::size_t>(count) : 0);
  if (count <= 0) return 0;
  return StartRead(text.data(), count, request);
}

// A request on which nothing was started (an empty text, a count of zero or
// less) has nothing to wait for: it returns 0 without asking the driver or
// telling the links, on an open or a closed port alike.
int TCustomComPort::WaitForRequest(PAsync& request) {
  if (!request) throw EComPort(ecBadRequest);
  if (!request->Started) return 0;
  const int code = request->RequestKind == rkWrite ? ecWriteFailed : ecReadFailed;
  const DWORD waited = WaitForSingleObject(request->Overlapped.hEvent, INFINITE);
  request->Started = false;
  if (waited != WAIT_OBJECT_0) RaiseLastError(code);
  DWORD transferred = 0;
  if (!GetOverlappedResult(FDeviceHandle, &request->Overlapped, &transferred, FALSE))
    RaiseLastError(code);
  if (request->RequestKind == rkRead) {
    if (PendingInputCount() == 0) NotifyLinksSignal(lnRx, false);
  } else if (request->TxCopy) {
    NotifyLinksTxBuffer(request->TxCopy, request->TxCopySize);
  }
  return static_cast<int>(transferred);
}

// ---------------------------------------------------------------------------
// Synchronous transfers.

int TCustomComPort::SendText(const std::string& text) {
  RequestScope scope;
  StartTextWrite(text, scope.request);
  return WaitForRequest(scope.request);
}

int TCustomComPort::ReceiveText(std::string& text, int count) {
  RequestScope scope;
  StartTextRead(text, count, scope.request);
  const int n = WaitForRequest(scope.request);
  text.resize(static_cast<std::size_t>(n));
  return n;
}

int TCustomComPort::ReceiveBuffer(void* buffer, int count) {
  RequestScope scope;
  StartRead(buffer, count, scope.request);
  return WaitForRequest(scope.request);
}

// Ends outstanding reads and writes; the driver's queues keep their bytes.
void TCustomComPort::AbortPendingIO() {
  if (!PurgeComm(FDeviceHandle, PURGE_TXABORT | PURGE_RXABORT)) RaiseLastError(ecPurgeFailed);
}

// ---------------------------------------------------------------------------
// Line status.

// Also clears the driver's pending line errors.
int TCustomComPort::PendingInputCount() {
  DWORD errors = 0;
  COMSTAT stat;
  std::memset(&stat, 0, sizeof stat);
  if (!ClearCommError(FDeviceHandle, &errors, &stat)) RaiseLastError(ecClearErrorFailed);
  return static_cast<int>(stat.cbInQue);
}

TComLineSignals TCustomComPort::ReadLineSignals() {
  DWORD status = 0;
  if (!GetCommModemStatus(FDeviceHandle, &status)) RaiseLastError(ecModemStatusFailed);
  TComLineSignals signals;
  if (status & MS_CTS_ON) signals.Include(sgCTS);
  if (status & MS_DSR_ON) signals.Include(sgDSR);
  if (status & MS_RING_ON) signals.Include(sgRing);
  if (status & MS_RLSD_ON) signals.Include(sgRLSD);
  return signals;
}

// CE_PTO, CE_DNS and CE_OOP are dropped, and a parity error unless
// Parity.Check is on.
TComErrors TCustomComPort::ReadLineErrors() {
  DWORD bits = 0;
  COMSTAT stat;
  std::memset(&stat, 0, sizeof stat);
  if (!ClearCommError(FDeviceHandle, &bits, &stat)) RaiseLastError(ecClearErrorFailed);
  TComErrors errors;
  if (bits & CE_FRAME) errors.Include(leFrame);
  if ((bits & CE_RXPARITY) && FParity->Check()) errors.Include(leRxParity);
  if (bits & CE_OVERRUN) errors.Include(leOverrun);
  if (bits & CE_BREAK) errors.Include(leBreak);
  if (bits & CE_IOE) errors.Include(leIO);
  if (bits & CE_MODE) errors.Include(leMode);
  if (bits & CE_RXOVER) errors.Include(leRxOver);
  if (bits & CE_TXFULL) errors.Include(leTxFull);
  return errors;
}
