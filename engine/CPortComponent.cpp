// TCustomComPort: construction and destruction, the setting objects, the
// apply guard and the update hold, opening and closing with their
// announcement steps, and the property setters. User-interface thread.
#include <cstring>
#include <string>

#include "CPort.h"
#include "CPortDetail.h"

namespace cport_detail {

void ReportCurrentException(vcl::TObject* sender) {
  vcl::EnsureApplication()->HandleException(sender);
}

void RaiseLastError(int engineCode) {
  throw EComPort(engineCode, static_cast<int>(GetLastError()));
}

}  // namespace cport_detail

using cport_detail::RaiseLastError;

// ---------------------------------------------------------------------------
// Setting objects.

void TComTimeouts::Changed() {
  if (FOwnerPort) FOwnerPort->ApplyTimeoutSettings();
}

#define COM_SETTER(Class, Name, Type)          \
  void Class::Set##Name(Type value) {          \
    if (value == F##Name) return;              \
    F##Name = value;                           \
    Changed();                                 \
  }

COM_SETTER(TComTimeouts, ReadInterval, int)
COM_SETTER(TComTimeouts, ReadTotalMultiplier, int)
COM_SETTER(TComTimeouts, ReadTotalConstant, int)
COM_SETTER(TComTimeouts, WriteTotalMultiplier, int)
COM_SETTER(TComTimeouts, WriteTotalConstant, int)

COM_SETTER(TComFlowControl, OutCTSFlow, bool)
COM_SETTER(TComFlowControl, OutDSRFlow, bool)
COM_SETTER(TComFlowControl, ControlDTR, TDTRFlowControl)
COM_SETTER(TComFlowControl, ControlRTS, TRTSFlowControl)
COM_SETTER(TComFlowControl, XonXoffOut, bool)
COM_SETTER(TComFlowControl, XonXoffIn, bool)
COM_SETTER(TComFlowControl, DSRSensitivity, bool)
COM_SETTER(TComFlowControl, TxContinueOnXoff, bool)
COM_SETTER(TComFlowControl, XonChar, char)
COM_SETTER(TComFlowControl, XoffChar, char)

COM_SETTER(TComParity, Bits, TParityBits)
COM_SETTER(TComParity, Check, bool)
COM_SETTER(TComParity, Replace, bool)
COM_SETTER(TComParity, ReplaceChar, char)

#undef COM_SETTER

void TComTimeouts::AssignTo(vcl::TPersistent* dest) {
  auto* d = dynamic_cast<TComTimeouts*>(dest);
  if (!d) return vcl::TPersistent::AssignTo(dest);
  d->FReadInterval = FReadInterval;
  d->FReadTotalMultiplier = FReadTotalMultiplier;
  d->FReadTotalConstant = FReadTotalConstant;
  d->FWriteTotalMultiplier = FWriteTotalMultiplier;
  d->FWriteTotalConstant = FWriteTotalConstant;
}

void TComFlowControl::Changed() {
  if (FOwnerPort) FOwnerPort->ApplyLineSettings();
}

TFlowControl TComFlowControl::FlowControl() const {
  if (FControlRTS == rtsHandshake && FOutCTSFlow && !FXonXoffIn && !FXonXoffOut) return fcHardware;
  if (FControlRTS == rtsDisable && !FOutCTSFlow && FXonXoffIn && FXonXoffOut) return fcSoftware;
  if (FControlRTS == rtsDisable && !FOutCTSFlow && !FXonXoffIn && !FXonXoffOut) return fcNone;
  return fcCustom;
}

void TComFlowControl::SetFlowControl(TFlowControl value) {
  if (value != fcCustom) {
    FControlRTS = rtsDisable;
    FOutCTSFlow = false;
    FXonXoffIn = false;
    FXonXoffOut = false;
    if (value == fcHardware) {
      FControlRTS = rtsHandshake;
      FOutCTSFlow = true;
    } else if (value == fcSoftware) {
      FXonXoffIn = true;
      FXonXoffOut = true;
    }
  }
  Changed();
}

void TComFlowControl::AssignTo(vcl::TPersistent* dest) {
  auto* d = dynamic_cast<TComFlowControl*>(dest);
  if (!d) return vcl::TPersistent::AssignTo(dest);
  d->FOutCTSFlow = FOutCTSFlow;
  d->FOutDSRFlow = FOutDSRFlow;
  d->FControlDTR = FControlDTR;
  d->FControlRTS = FControlRTS;
  d->FXonXoffOut = FXonXoffOut;
  d->FXonXoffIn = FXonXoffIn;
  d->FDSRSensitivity = FDSRSensitivity;
  d->FTxContinueOnXoff = FTxContinueOnXoff;
  d->FXonChar = FXonChar;
  d->FXoffChar = FXoffChar;
}

void TComParity::Changed() {
  if (FOwnerPort) FOwnerPort->ApplyLineSettings();
}

void TComParity::AssignTo(vcl::TPersistent* dest) {
  auto* d = dynamic_cast<TComParity*>(dest);
  if (!d) return vcl::TPersistent::AssignTo(dest);
  d->FBits = FBits;
  d->FCheck = FCheck;
  d->FReplace = FReplace;
  d->FReplaceChar = FReplaceChar;
}

void TComBuffer::Changed() {
  if (FOwnerPort) FOwnerPort->ApplyBufferSizes();
}

// The comparison uses the value passed in; an odd positive value is then
// stored one lower.
void TComBuffer::SetInputSize(int value) {
  if (value == FInputSize) return;
  FInputSize = value % 2 == 1 ? value - 1 : value;
  Changed();
}

void TComBuffer::SetOutputSize(int value) {
  if (value == FOutputSize) return;
  FOutputSize = value % 2 == 1 ? value - 1 : value;
  Changed();
}

void TComBuffer::AssignTo(vcl::TPersistent* dest) {
  auto* d = dynamic_cast<TComBuffer*>(dest);
  if (!d) return vcl::TPersistent::AssignTo(dest);
  d->FInputSize = FInputSize;
  d->FOutputSize = FOutputSize;
}

// ---------------------------------------------------------------------------
// Construction and destruction.

TCustomComPort::TCustomComPort(vcl::TComponent* owner) : vcl::TComponent(owner) {
  style_ &= ~static_cast<unsigned>(vcl::csInheritable);
  FLinkList = new vcl::TList;
  FParity = new TComParity;
  FParity->FOwnerPort = this;
  FFlowControl = new TComFlowControl;
  FFlowControl->FOwnerPort = this;
  FTimeouts = new TComTimeouts;
  FTimeouts->FOwnerPort = this;
  FBuffer = new TComBuffer;
  FBuffer->FOwnerPort = this;
}

TCustomComPort::~TCustomComPort() {
  *FSelf = nullptr;
  try {
    ClosePort();
  } catch (...) {
    // A handler or the driver refused the close: the port must still let go
    // of its thread and device before its parts are freed. The user hears of
    // the refusal when there is someone to tell.
    ForceClosed();
    if (vcl::IsMainThread()) {
      try {
        cport_detail::ReportCurrentException(this);
      } catch (...) {
      }
    }
  }
  ReapRetiredThreads();
  delete FBuffer;
  FBuffer = nullptr;
  delete FFlowControl;
  FFlowControl = nullptr;
  delete FTimeouts;
  FTimeouts = nullptr;
  delete FParity;
  FParity = nullptr;
  // Removal notices go out while the link list still exists: a bound control
  // detaches its link from inside its notification.
  BeforeDestruction();
  delete FLinkList;
  FLinkList = nullptr;
}

void TCustomComPort::ReapRetiredThreads() {
  for (auto it = FRetiredThreads.begin(); it != FRetiredThreads.end();) {
    if ((*it)->CalledFromDispatch()) {
      ++it;
      continue;
    }
    delete *it;
    it = FRetiredThreads.erase(it);
  }
}

void TCustomComPort::ForceClosed() {
  StopEventThread();
  CloseDeviceHandle();
  FConnected = false;
}

void TCustomComPort::Loaded() {
  vcl::TComponent::Loaded();
  if (FConnected && !HasState(vcl::csDesigning)) {
    FConnected = false;
    try {
      OpenPort();
    } catch (...) {
      cport_detail::ReportCurrentException(this);
    }
  }
}

bool TCustomComPort::Inactive() const { return HasState(vcl::csLoading | vcl::csDesigning); }

bool TCustomComPort::ApplyAllowed() const {
  return FConnected && FSettingsUpdateDepth == 0 && !Inactive();
}

// ---------------------------------------------------------------------------
// Device handle and settings.

void TCustomComPort::OpenDeviceHandle() {
  const std::string path = "\\\\.\\" + FPort;
  FDeviceHandle = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                              OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
  if (FDeviceHandle == INVALID_HANDLE_VALUE) RaiseLastError(ecOpenFailed);
}

void TCustomComPort::CloseDeviceHandle() {
  if (FDeviceHandle == INVALID_HANDLE_VALUE) return;
  CloseHandle(FDeviceHandle);
  FDeviceHandle = INVALID_HANDLE_VALUE;
}

void TCustomComPort::ApplyAllSettings() {
  ApplyBufferSizes();
  ApplyLineSettings();
  ApplyTimeoutSettings();
}

// DCB from the settings:
//   BaudRate            rate of BaudRate, CustomBaudRate for brCustom
//   Flags               fBinary always; fParity = Parity.Check; fOutxCtsFlow,
//                       fOutxDsrFlow, fDtrControl, fDsrSensitivity,
//                       fTXContinueOnXoff, fOutX, fInX from FlowControl;
//                       fErrorChar = Check and Replace; fNull = DiscardNull;
//                       fRtsControl from FlowControl; fAbortOnError never
//   XonLim, XoffLim     InputSize / 4, kept to 16 bits
//   ErrorChar           ReplaceChar when Check and Replace, else 0
void TCustomComPort::ApplyLineSettings() {
  if (!ApplyAllowed()) return;
  DCB dcb;
  std::memset(&dcb, 0, sizeof dcb);
  dcb.DCBlength = sizeof(DCB);
  dcb.BaudRate = FBaudRate == brCustom ? static_cast<DWORD>(FCustomBaudRate) : BaudRateValue(FBaudRate);

  const bool errorChar = FParity->Check() && FParity->Replace();
  DWORD flags = DCB_fBinary;
  if (FParity->Check()) flags |= DCB_fParity;
  if (FFlowControl->OutCTSFlow()) flags |= DCB_fOutxCtsFlow;
  if (FFlowControl->OutDSRFlow()) flags |= DCB_fOutxDsrFlow;
  flags |= DTRControlValue(FFlowControl->ControlDTR());
  if (FFlowControl->DSRSensitivity()) flags |= DCB_fDsrSensitivity;
  if (FFlowControl->TxContinueOnXoff()) flags |= DCB_fTXContinueOnXoff;
  if (FFlowControl->XonXoffOut()) flags |= DCB_fOutX;
  if (FFlowControl->XonXoffIn()) flags |= DCB_fInX;
  if (errorChar) flags |= DCB_fErrorChar;
  if (FDiscardNull) flags |= DCB_fNull;
  flags |= RTSControlValue(FFlowControl->ControlRTS());
  dcb.Flags = flags;

  const WORD limit = static_cast<WORD>(FBuffer->InputSize() / 4);
  dcb.XonLim = limit;
  dcb.XoffLim = limit;
  dcb.ByteSize = DataBitsValue(FDataBits);
  dcb.Parity = ParityValue(FParity->Bits());
  dcb.StopBits = StopBitsValue(FStopBits);
  dcb.XonChar = FFlowControl->XonChar();
  dcb.XoffChar = FFlowControl->XoffChar();
  dcb.ErrorChar = errorChar ? FParity->ReplaceChar() : 0;
  dcb.EvtChar = FEventChar;
  if (!SetCommState(FDeviceHandle, &dcb)) RaiseLastError(ecSetStateFailed);
}

// The five timeouts go over as 32-bit patterns: -1 is MAXDWORD.
void TCustomComPort::ApplyTimeoutSettings() {
  if (!ApplyAllowed()) return;
  COMMTIMEOUTS t;
  t.ReadIntervalTimeout = static_cast<DWORD>(FTimeouts->ReadInterval());
  t.ReadTotalTimeoutMultiplier = static_cast<DWORD>(FTimeouts->ReadTotalMultiplier());
  t.ReadTotalTimeoutConstant = static_cast<DWORD>(FTimeouts->ReadTotalConstant());
  t.WriteTotalTimeoutMultiplier = static_cast<DWORD>(FTimeouts->WriteTotalMultiplier());
  t.WriteTotalTimeoutConstant = static_cast<DWORD>(FTimeouts->WriteTotalConstant());
  if (!SetCommTimeouts(FDeviceHandle, &t)) RaiseLastError(ecSetTimeoutsFailed);
}

void TCustomComPort::ApplyBufferSizes() {
  if (!ApplyAllowed()) return;
  if (!SetupComm(FDeviceHandle, static_cast<DWORD>(FBuffer->InputSize()),
                 static_cast<DWORD>(FBuffer->OutputSize())))
    RaiseLastError(ecSetQueuesFailed);
}

void TCustomComPort::BeginSettingsUpdate() { ++FSettingsUpdateDepth; }

void TCustomComPort::EndSettingsUpdate() {
  if (FSettingsUpdateDepth <= 0) return;
  if (--FSettingsUpdateDepth == 0) ApplyAllSettings();
}

// ---------------------------------------------------------------------------
// Opening and closing.

void TCustomComPort::OpenPort() {
  if (FConnected || HasState(vcl::csDesigning)) return;
  ReapRetiredThreads();
  HandleBeforeOpen();
  OpenDeviceHandle();
  ++FOpenGeneration;
  FLossReported = false;
  FConnected = true;
  try {
    ApplyAllSettings();
  } catch (...) {
    CloseDeviceHandle();
    FConnected = false;
    throw;
  }
  if (FEvents.Empty()) {
    FHasEventThread = false;
  } else {
    try {
      if (FSyncMethod == smWindowSync)
        FNotifyWindow = vcl::AllocateHWnd([this](vcl::TMessage& m) { NotifyWindowProc(m); });
      FEventThread = new TComThread(this);
      FHasEventThread = true;
    } catch (...) {
      // The platform could not give a window or a thread: leave closed.
      if (FNotifyWindow) vcl::DeallocateHWnd(FNotifyWindow);
      FNotifyWindow = nullptr;
      CloseDeviceHandle();
      FConnected = false;
      throw;
    }
  }
  HandleAfterOpen();
}

// A close made from inside the thread's own dispatch (a handler that closes
// the port) cannot wait for the thread: under smThreadSync the thread waits
// for this very call to return, under smNone this is the thread. It is let go
// instead, its exit steps are made here while the device is still open, and
// it is freed once it has ended.
void TCustomComPort::StopEventThread() {
  if (!FHasEventThread) return;
  TComThread* thread = FEventThread;
  FEventThread = nullptr;
  FHasEventThread = false;
  if (thread->CalledFromDispatch()) {
    thread->Detach();
    SetCommMask(FDeviceHandle, 0);
    PurgeComm(FDeviceHandle, PURGE_TXCLEAR | PURGE_RXCLEAR);
    FRetiredThreads.push_back(thread);
  } else {
    delete thread;  // stops it and waits for its end
  }
  if (FNotifyWindow) {
    vcl::DeallocateHWnd(FNotifyWindow);
    FNotifyWindow = nullptr;
  }
}

// A failed cancel of pending transfers does not keep the port open: a device
// that has gone away refuses every call, and a port that could never close
// would hold its thread and handle until the program ends. The close runs to
// the end and the refusal is raised afterwards.
void TCustomComPort::ClosePort() {
  if (!FConnected || HasState(vcl::csDesigning) || FClosing) return;
  struct Closing {
    bool& flag;
    explicit Closing(bool& f) : flag(f) { flag = true; }
    ~Closing() { flag = false; }
  } closing(FClosing);
  HandleBeforeClose();
  std::exception_ptr abortError;
  try {
    AbortPendingIO();
  } catch (const EComPort&) {
    abortError = std::current_exception();
  }
  StopEventThread();
  CloseDeviceHandle();
  FConnected = false;
  ReapRetiredThreads();
  HandleAfterClose();
  // A device that has gone away refuses the cancel; the user has been told
  // of the loss once already when the event thread noticed it.
  if (abortError && (!IsDeviceGone(abortError) || FirstReportOfLoss(abortError)))
    std::rethrow_exception(abortError);
}

// A device that vanished (unplugged, the far side of a pseudo-terminal
// closed) fails every call with ERROR_DEVICE_NOT_CONNECTED.
bool TCustomComPort::IsDeviceGone(const std::exception_ptr& error) {
  try {
    std::rethrow_exception(error);
  } catch (const EComPort& e) {
    return e.SystemErrorCode == static_cast<int>(ERROR_DEVICE_NOT_CONNECTED);
  } catch (...) {
    return false;
  }
}

bool TCustomComPort::FirstReportOfLoss(const std::exception_ptr& error) {
  if (!IsDeviceGone(error) || FLossReported) return false;
  FLossReported = true;
  return true;
}

void TCustomComPort::ReportFailure(std::exception_ptr error) {
  if (IsDeviceGone(error) && !FirstReportOfLoss(error)) return;
  try {
    std::rethrow_exception(error);
  } catch (...) {
    try {
      cport_detail::ReportCurrentException(this);
    } catch (...) {
    }
  }
}

// The close comes first, so the box is shown over a window that already
// shows the port closed; a close that the lost device refuses says nothing
// more.
void TCustomComPort::DeviceLost(unsigned generation, DWORD error) {
  // Closed, reopened or being closed since (the close's wait for the
  // thread runs queued work).
  if (!FConnected || generation != FOpenGeneration || FClosing) return;
  const std::exception_ptr lost =
      std::make_exception_ptr(EComPort(ecWaitFailed, static_cast<int>(error)));
  const bool tell = FirstReportOfLoss(lost);
  try {
    ClosePort();
  } catch (...) {
    ReportFailure(std::current_exception());
  }
  if (tell) {
    try {
      std::rethrow_exception(lost);
    } catch (...) {
      try {
        cport_detail::ReportCurrentException(this);
      } catch (...) {
      }
    }
  }
}

void TCustomComPort::HandleBeforeOpen() { FireBeforeOpen(); }

void TCustomComPort::HandleAfterOpen() {
  NotifyLinksSignal(lnConn, true);
  FireAfterOpen();
  AnnounceLineSignals(true);
}

void TCustomComPort::HandleBeforeClose() {
  AnnounceLineSignals(false);
  FireBeforeClose();
}

void TCustomComPort::HandleAfterClose() {
  NotifyLinksSignal(lnConn, false);
  FireAfterClose();
}

// ---------------------------------------------------------------------------
// Property setters.

void TCustomComPort::SetConnected(bool value) {
  if (value == FConnected) return;
  if (Inactive())
    FConnected = value;
  else if (value)
    OpenPort();
  else
    ClosePort();
}

void TCustomComPort::SetBaudRate(TBaudRate value) {
  if (value == FBaudRate) return;
  FBaudRate = value;
  ApplyLineSettings();
}

void TCustomComPort::SetCustomBaudRate(int value) {
  if (value == FCustomBaudRate) return;
  FCustomBaudRate = value;
  ApplyLineSettings();
}

void TCustomComPort::SetStopBits(TStopBits value) {
  if (value == FStopBits) return;
  FStopBits = value;
  ApplyLineSettings();
}

void TCustomComPort::SetDataBits(TDataBits value) {
  if (value == FDataBits) return;
  FDataBits = value;
  ApplyLineSettings();
}

void TCustomComPort::SetDiscardNull(bool value) {
  if (value == FDiscardNull) return;
  FDiscardNull = value;
  ApplyLineSettings();
}

void TCustomComPort::SetEventChar(char value) {
  if (value == FEventChar) return;
  FEventChar = value;
  ApplyLineSettings();
}

// Exact comparison: another case is another name and reopens the device.
void TCustomComPort::SetPort(const std::string& value) {
  if (value == FPort) return;
  FPort = value;
  if (FConnected && !Inactive()) {
    ClosePort();
    OpenPort();
  }
}

void TCustomComPort::SetSyncMethod(TSyncMethod value) {
  if (value == FSyncMethod) return;
  if (FConnected && !Inactive()) throw EComPort(ecChangeWhileOpen);
  FSyncMethod = value;
}

void TCustomComPort::SetParity(TComParity* value) {
  FParity->Assign(value);
  ApplyLineSettings();
}

void TCustomComPort::SetFlowControl(TComFlowControl* value) {
  FFlowControl->Assign(value);
  ApplyLineSettings();
}

void TCustomComPort::SetTimeouts(TComTimeouts* value) {
  FTimeouts->Assign(value);
  ApplyTimeoutSettings();
}

void TCustomComPort::SetBuffer(TComBuffer* value) {
  FBuffer->Assign(value);
  ApplyBufferSizes();
}

// ---------------------------------------------------------------------------
// Fire operations: each calls its event when assigned, nothing else.

void TCustomComPort::FireAfterClose() { if (OnAfterClose.Assigned()) OnAfterClose(this); }
void TCustomComPort::FireAfterOpen() { if (OnAfterOpen.Assigned()) OnAfterOpen(this); }
void TCustomComPort::FireBeforeClose() { if (OnBeforeClose.Assigned()) OnBeforeClose(this); }
void TCustomComPort::FireBeforeOpen() { if (OnBeforeOpen.Assigned()) OnBeforeOpen(this); }
void TCustomComPort::FireRxChar(int count) { if (OnRxChar.Assigned()) OnRxChar(this, count); }
void TCustomComPort::FireRxBuf(const void* buffer, int count) {
  if (OnRxBuf.Assigned()) OnRxBuf(this, buffer, count);
}
void TCustomComPort::FireTxEmpty() { if (OnTxEmpty.Assigned()) OnTxEmpty(this); }
void TCustomComPort::FireBreak() { if (OnBreak.Assigned()) OnBreak(this); }
void TCustomComPort::FireRing() { if (OnRing.Assigned()) OnRing(this); }
void TCustomComPort::FireRxFlag() { if (OnRxFlag.Assigned()) OnRxFlag(this); }
void TCustomComPort::FireCTSChange(bool onOff) { if (OnCTSChange.Assigned()) OnCTSChange(this, onOff); }
void TCustomComPort::FireDSRChange(bool onOff) { if (OnDSRChange.Assigned()) OnDSRChange(this, onOff); }
void TCustomComPort::FireError(TComErrors errors) { if (OnError.Assigned()) OnError(this, errors); }
void TCustomComPort::FireRLSDChange(bool onOff) {
  if (OnRLSDChange.Assigned()) OnRLSDChange(this, onOff);
}
void TCustomComPort::FireRx80Full() { if (OnRx80Full.Assigned()) OnRx80Full(this); }

TComPort::TComPort(vcl::TComponent* owner) : TCustomComPort(owner) {}
