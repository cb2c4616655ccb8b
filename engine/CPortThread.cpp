// The event thread and the dispatch of line events: TComThread, the three
// delivery modes, the hidden window's procedure, the port's event entry
// points with the receive step, and the announcement of the modem lines.
#include <cstring>
#include <memory>

#include "CPort.h"
#include "CPortDetail.h"

namespace {

// Order in which the events of one batch are handled.
constexpr TComEvent kDispatchOrder[] = {evError, evRxChar, evTxEmpty, evBreak, evRing,
                                        evCTS,   evDSR,    evRxFlag,  evRLSD,  evRx80Full};

}  // namespace

// ---------------------------------------------------------------------------
// TComThread.

// Runs on the thread that opens the port, after the device is open and its
// settings are applied.
TComThread::TComThread(TCustomComPort* port)
    : vcl::TThread(true),
      FOwnerPort(port),
      FPortRef(port->FSelf),
      FGeneration(port->FOpenGeneration) {
  FStopEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  SetPriority(port->EventPriority());
  SetCommMask(port->DeviceHandle(), EventsToMask(port->Events()));
  try {
    Start();
  } catch (...) {
    if (FStopEvent) CloseHandle(FStopEvent);
    FStopEvent = nullptr;
    throw;
  }
}

// Runs on the thread that closes the port. StopEvent belongs to this object
// and is closed only after the thread has ended, so the stop signal never
// reaches a closed (or reused) handle, also when the loop ended by itself.
TComThread::~TComThread() {
  RequestStop();
  WaitForEnd();
  if (FStopEvent) CloseHandle(FStopEvent);
  FStopEvent = nullptr;
}

bool TComThread::CalledFromDispatch() const {
  if (FThreadId.load() == std::this_thread::get_id()) return true;
  return vcl::IsMainThread() && FDispatchingOnUserInterface;
}

// Runs on the thread inside the dispatch (see CalledFromDispatch).
void TComThread::Detach() {
  FDetached = true;
  RequestStop();
}

// Any thread.
void TComThread::RequestStop() {
  if (FStopEvent) SetEvent(FStopEvent);
  Sleep(0);
}

// Event thread. One wait on two events, never a timeout: the stop event and
// the event of the overlapped WaitCommEvent. The stop event comes first, so
// it wins when both are signalled.
//
// A device that goes away must not make this loop spin (the overlapped event
// is created signalled, so a wait that never starts would return at once
// forever). A WaitCommEvent that cannot start, a failed wait, or two failed
// completions in a row end the loop, and the user is told with
// ecWaitFailed and the system code. A single failed completion only drops
// its batch.
void TComThread::Execute() {
  FThreadId = std::this_thread::get_id();
  const HANDLE device = FOwnerPort->DeviceHandle();
  OVERLAPPED overlapped;
  std::memset(&overlapped, 0, sizeof overlapped);
  overlapped.hEvent = CreateEventA(nullptr, TRUE, TRUE, nullptr);
  const HANDLE handles[2] = {FStopEvent, overlapped.hEvent};
  DWORD mask = 0;
  bool pending = false;
  int failedCompletions = 0;
  bool failed = false;
  DWORD failure = 0;

  for (;;) {
    mask = 0;
    if (!WaitCommEvent(device, &mask, &overlapped)) {
      const DWORD error = GetLastError();
      if (error != ERROR_IO_PENDING) {
        failed = true;
        failure = error;
        break;
      }
    }
    pending = true;
    const DWORD r = WaitForMultipleObjects(2, handles, FALSE, INFINITE);
    if (r != WAIT_OBJECT_0 + 1) {
      if (r != WAIT_OBJECT_0) {
        failed = true;
        failure = GetLastError();
      }
      break;
    }
    pending = false;
    DWORD bytes = 0;
    if (GetOverlappedResult(device, &overlapped, &bytes, FALSE)) {
      failedCompletions = 0;
      FReceivedEvents = MaskToEvents(mask);
      DeliverEvents();
      if (FDetached) break;  // the port was closed from inside the dispatch
    } else if (GetLastError() == ERROR_DEVICE_NOT_CONNECTED || ++failedCompletions == 2) {
      failed = true;
      failure = GetLastError();
      break;
    }
  }

  // Exit steps. A mask of 0 ends a WaitCommEvent still pending; its
  // completion is awaited because the driver writes into `overlapped` and
  // `mask` until then. A detached thread has no wait pending, and its port
  // has made these steps itself before closing the device.
  if (FDetached) {
    if (overlapped.hEvent) CloseHandle(overlapped.hEvent);
    return;
  }
  bool maskCleared = SetCommMask(device, 0) != FALSE;
  PurgeComm(device, PURGE_TXCLEAR | PURGE_RXCLEAR);
  if (pending) {
    if (!maskCleared) maskCleared = SetCommMask(device, 0) != FALSE;
    DWORD bytes = 0;
    if (maskCleared) GetOverlappedResult(device, &overlapped, &bytes, TRUE);
  }
  if (overlapped.hEvent) CloseHandle(overlapped.hEvent);
  if (failed && failure == ERROR_DEVICE_NOT_CONNECTED) {
    // The device is gone: the port closes itself on the user-interface
    // thread, which tells the user once. Queued, not synchronised: that
    // close waits for this thread's end.
    std::shared_ptr<TCustomComPort*> port = FPortRef;
    const unsigned generation = FGeneration;
    vcl::TThread::Queue([port, generation, failure] {
      if (*port) (*port)->DeviceLost(generation, failure);
    });
  } else if (failed) {
    ReportToUser(std::make_exception_ptr(EComPort(ecWaitFailed, static_cast<int>(failure))));
  }
}

// Event thread. The mode is read at every batch; it cannot change while the
// port is open.
void TComThread::DeliverEvents() {
  switch (FOwnerPort->SyncMethod()) {
    case smThreadSync:
      vcl::TThread::Synchronize([this] {
        FDispatchingOnUserInterface = true;
        RunEventHandlers();
        FDispatchingOnUserInterface = false;
      });
      break;
    case smWindowSync:
      ForwardEventsToWindow();
      break;
    case smNone:
      RunEventHandlers();
      break;
  }
}

// User-interface thread (smThreadSync, inside Synchronize) or event thread
// (smNone). Each event of the batch runs in its own guard: an exception from
// an entry point or a handler is shown to the user, the later events of the
// batch are still handled and the thread keeps watching the line.
void TComThread::RunEventHandlers() {
  const bool onUserInterface = vcl::IsMainThread();
  for (TComEvent event : kDispatchOrder) {
    if (FDetached) return;  // a handler closed the port
    if (!FReceivedEvents.Contains(event)) continue;
    try {
      FOwnerPort->HandleEvent(event);
    } catch (...) {
      if (onUserInterface)
        FOwnerPort->ReportFailure(std::current_exception());
      else
        ReportToUser(std::current_exception());
    }
  }
}

// Event thread: one message per event, each released by the window's reply
// before its handlers run.
void TComThread::ForwardEventsToWindow() {
  for (TComEvent event : kDispatchOrder)
    if (FReceivedEvents.Contains(event))
      SendMessageA(FOwnerPort->NotifyWindow(), PortEventMessage, EventsToMask(TComEvents{event}), 0);
}

// Event thread: blocks until the user-interface thread has shown the error.
void TComThread::ReportToUser(std::exception_ptr error) {
  try {
    vcl::TThread::Synchronize([this, error] { FOwnerPort->ReportFailure(error); });
  } catch (...) {
  }
}

// ---------------------------------------------------------------------------
// The port's side of the dispatch.

// User-interface thread, called by the platform for every message of the
// hidden window.
void TCustomComPort::NotifyWindowProc(vcl::TMessage& message) {
  if (message.Msg != PortEventMessage) {
    message.Result = DefWindowProcA(FNotifyWindow, message.Msg, message.WParam, message.LParam);
    return;
  }
  try {
    if (InSendMessage()) ReplyMessage(0);
    if (!FConnected) return;
    switch (message.WParam) {
      case EV_RXCHAR: HandleRxChar(); break;
      case EV_RXFLAG: HandleRxFlag(); break;
      case EV_TXEMPTY: HandleTxEmpty(); break;
      case EV_CTS: HandleCTSChange(); break;
      case EV_DSR: HandleDSRChange(); break;
      case EV_RLSD: HandleRLSDChange(); break;
      case EV_BREAK: HandleBreak(); break;
      case EV_ERR: HandleError(); break;
      case EV_RING: HandleRing(); break;
      case EV_RX80FULL: HandleRx80Full(); break;
      default: break;
    }
  } catch (...) {
    ReportFailure(std::current_exception());
  }
}

void TCustomComPort::HandleEvent(TComEvent event) {
  switch (event) {
    case evRxChar: HandleRxChar(); break;
    case evTxEmpty: HandleTxEmpty(); break;
    case evRxFlag: HandleRxFlag(); break;
    case evRing: HandleRing(); break;
    case evBreak: HandleBreak(); break;
    case evCTS: HandleCTSChange(); break;
    case evDSR: HandleDSRChange(); break;
    case evError: HandleError(); break;
    case evRLSD: HandleRLSDChange(); break;
    case evRx80Full: HandleRx80Full(); break;
  }
}

// The receive step. Without a link that wants raw bytes the count is
// announced through OnRxChar and the bytes stay in the driver's queue for
// the handler to read. Otherwise the bytes are read once, shown to OnRxBuf
// and handed to every such link, and OnRxChar does not fire for the batch.
void TCustomComPort::HandleRxChar() {
  int count = PendingInputCount();
  if (count <= 0) return;
  NotifyLinksSignal(lnRx, true);
  if (!(FRxCharByCount && !FRxBufLinked)) DeliverReceivedBytes(count);
  if (count > 0) FireRxChar(count);
}

// Sets `count` to 0 once a buffer was read, also when a handler raises.
void TCustomComPort::DeliverReceivedBytes(int& count) {
  std::unique_ptr<char[]> buffer;
  try {
    const int links = FLinkList->Count();
    for (int i = 0; i < links && i < FLinkList->Count(); ++i) {
      TComLink* link = static_cast<TComLink*>(FLinkList->Items(i));
      if (!link->OnLinkRxBuf.Assigned()) continue;
      if (!buffer) {
        buffer.reset(new char[static_cast<std::size_t>(count)]);
        ReceiveBuffer(buffer.get(), count);
        FireRxBuf(buffer.get(), count);
      }
      link->OnLinkRxBuf(this, buffer.get(), count);
    }
  } catch (...) {
    if (buffer) count = 0;
    throw;
  }
  if (buffer) count = 0;
}

void TCustomComPort::HandleTxEmpty() {
  NotifyLinksSignal(lnTx, false);
  NotifyLinksEvent(lnTxEmpty);
  FireTxEmpty();
}

void TCustomComPort::HandleRxFlag() {
  NotifyLinksEvent(lnRxFlag);
  FireRxFlag();
}

void TCustomComPort::HandleRing() {
  NotifyLinksEvent(lnRing);
  FireRing();
}

void TCustomComPort::HandleBreak() { FireBreak(); }

void TCustomComPort::HandleRx80Full() { FireRx80Full(); }

void TCustomComPort::HandleError() {
  const TComErrors errors = ReadLineErrors();
  if (!errors.Empty()) FireError(errors);
}

// The three line changes report the level read now, not a toggled value.
void TCustomComPort::HandleCTSChange() {
  const bool level = ReadLineSignals().Contains(sgCTS);
  NotifyLinksSignal(lnCTS, level);
  FireCTSChange(level);
}

void TCustomComPort::HandleDSRChange() {
  const bool level = ReadLineSignals().Contains(sgDSR);
  NotifyLinksSignal(lnDSR, level);
  FireDSRChange(level);
}

void TCustomComPort::HandleRLSDChange() {
  const bool level = ReadLineSignals().Contains(sgRLSD);
  NotifyLinksSignal(lnRLSD, level);
  FireRLSDChange(level);
}

// On open the live levels, each to the links and then its event; on close
// all links hear the three offs before any event fires. Nothing is read from
// the device on close.
void TCustomComPort::AnnounceLineSignals(bool open) {
  if (open) {
    HandleCTSChange();
    HandleDSRChange();
    HandleRLSDChange();
    return;
  }
  NotifyLinksSignal(lnCTS, false);
  NotifyLinksSignal(lnDSR, false);
  NotifyLinksSignal(lnRLSD, false);
  FireCTSChange(false);
  FireDSRChange(false);
  FireRLSDChange(false);
}
