// Unit CPort: the serial port engine.
//
// The vocabulary of a port (settings, events, line errors and signals, error
// codes and EComPort), the port component TCustomComPort / TComPort with its
// four setting objects, the link objects that let controls follow a port, the
// overlapped transfers, the event thread TComThread and the text forms of the
// settings with ListPortNames.
//
// The engine speaks Win32 (platform/win32) and the component runtime core
// (platform/vcl/core); it never sees Qt.
//
// Threads: everything runs on the user-interface thread unless a comment says
// otherwise. The event thread of an open port waits for line events and hands
// them over by blocking (Synchronize, SendMessageA) or, under smNone, runs
// the handlers itself.
#pragma once

#include <atomic>
#include <cstdint>
#include <exception>
#include <string>
#include <thread>
#include <vector>

#include "AppCore.h"
#include "Classes.h"
#include "Messages.h"
#include "System.h"
#include "TypInfo.h"
#include "win32.h"

class TCustomComPort;
class TComPort;
class TComThread;
class TComLink;

// ---------------------------------------------------------------------------
// Vocabulary.

enum TBaudRate : std::uint8_t {
  brCustom, br110, br300, br600, br1200, br2400, br4800, br9600, br14400,
  br19200, br38400, br56000, br57600, br115200, br128000, br256000
};
enum TDataBits : std::uint8_t { dbFive, dbSix, dbSeven, dbEight };
enum TStopBits : std::uint8_t { sbOneStopBit, sbOne5StopBits, sbTwoStopBits };
enum TParityBits : std::uint8_t { prNone, prOdd, prEven, prMark, prSpace };
enum TDTRFlowControl : std::uint8_t { dtrDisable, dtrEnable, dtrHandshake };
enum TRTSFlowControl : std::uint8_t { rtsDisable, rtsEnable, rtsHandshake, rtsToggle };
enum TFlowControl : std::uint8_t { fcHardware, fcSoftware, fcNone, fcCustom };
enum TSyncMethod : std::uint8_t { smThreadSync, smWindowSync, smNone };

enum TComEvent : std::uint8_t {
  evRxChar, evTxEmpty, evRxFlag, evRing, evBreak, evCTS, evDSR, evError, evRLSD, evRx80Full
};
using TComEvents = vcl::TSet<TComEvent, std::uint16_t>;

enum TComLineError : std::uint8_t {
  leFrame, leRxParity, leOverrun, leBreak, leIO, leMode, leRxOver, leTxFull
};
using TComErrors = vcl::TSet<TComLineError, std::uint8_t>;

enum TComLineSignal : std::uint8_t { sgCTS, sgDSR, sgRing, sgRLSD };
using TComLineSignals = vcl::TSet<TComLineSignal, std::uint8_t>;

enum TComLinkEvent : std::uint8_t {
  lnConn, lnCTS, lnDSR, lnRLSD, lnRing, lnRx, lnTx, lnTxEmpty, lnRxFlag
};

enum TRequestKind : std::uint8_t { rkWrite, rkRead };

using TRxCharEvent = vcl::TEvent<vcl::TObject*, int>;
using TRxBufEvent = vcl::TEvent<vcl::TObject*, const void*, int>;
using TComErrorEvent = vcl::TEvent<vcl::TObject*, TComErrors>;
using TComSignalEvent = vcl::TEvent<vcl::TObject*, bool>;

constexpr TComEvents AllComEvents{evRxChar, evTxEmpty, evRxFlag, evRing, evBreak,
                                  evCTS,    evDSR,     evError,  evRLSD, evRx80Full};

// The rate a TBaudRate stands for (0 for brCustom: the port's CustomBaudRate).
DWORD BaudRateValue(TBaudRate rate);
// Byte size, stop-bit and parity codes of the device control block.
BYTE DataBitsValue(TDataBits bits);
BYTE StopBitsValue(TStopBits bits);
BYTE ParityValue(TParityBits bits);
// The value OR-ed into the control block's flags word.
DWORD DTRControlValue(TDTRFlowControl control);
DWORD RTSControlValue(TRTSFlowControl control);

// Event set <-> driver event mask. Mask bits outside the ten events are dropped.
DWORD EventsToMask(TComEvents events);
TComEvents MaskToEvents(DWORD mask);

// Window message of the hidden-window delivery mode: wParam is the event-mask
// bit of one event, lParam 0.
constexpr UINT PortEventMessage = WM_USER + 1;

// ---------------------------------------------------------------------------
// Engine error codes and EComPort.

constexpr int ecOpenFailed = 1;
constexpr int ecWriteFailed = 2;
constexpr int ecReadFailed = 3;
constexpr int ecBadRequest = 4;
constexpr int ecPurgeFailed = 5;
constexpr int ecRequestStatus = 6;
constexpr int ecSetStateFailed = 7;
constexpr int ecSetTimeoutsFailed = 8;
constexpr int ecSetQueuesFailed = 9;
constexpr int ecClearErrorFailed = 10;
constexpr int ecModemStatusFailed = 11;
constexpr int ecEscapeFailed = 12;
constexpr int ecTransmitCharFailed = 13;
constexpr int ecChangeWhileOpen = 14;
constexpr int ecListPortsFailed = 15;
constexpr int ecStoreFailed = 16;
constexpr int ecLoadFailed = 17;
constexpr int ecLinkRegistration = 18;
constexpr int ecLedStateLocked = 19;
constexpr int ecThreadActive = 20;
constexpr int ecWaitFailed = 21;
constexpr int ecRxBufLinked = 22;
constexpr int ecRegistryError = 23;

// The fixed English message of an engine code ("" outside 1..23).
const char* ComErrorMessage(int engineCode);

class EComPort : public vcl::Exception {
 public:
  // Message: the code's text followed by " (win error code: N)".
  EComPort(int engineCode, int systemErrorCode);
  // Message: the code's text alone; SystemErrorCode is -1.
  explicit EComPort(int engineCode);

  std::int32_t SystemErrorCode;
  std::int32_t EngineCode;
};

// ---------------------------------------------------------------------------
// Links: a control follows a port through one of these. All slots start
// unassigned; Sender is always the port.

class TComLink : public vcl::TObject {
 public:
  TComSignalEvent OnLinkConn;
  TRxBufEvent OnLinkRxBuf;
  TRxBufEvent OnLinkTxBuf;
  vcl::TNotifyEvent OnLinkTxEmpty;
  vcl::TNotifyEvent OnLinkRxFlag;
  TComSignalEvent OnLinkCTSChange;
  TComSignalEvent OnLinkDSRChange;
  TComSignalEvent OnLinkRLSDChange;
  vcl::TNotifyEvent OnLinkRing;
  TComSignalEvent OnLinkTx;
  TComSignalEvent OnLinkRx;
};

// ---------------------------------------------------------------------------
// Setting objects. Each setter stores and asks its port to re-apply the
// group it belongs to; the port's apply guard decides whether the driver
// hears of it.

class TComTimeouts : public vcl::TPersistent {
 public:
  TComTimeouts() = default;
  const vcl::TClassInfo* ClassInfo() const override;
  static const vcl::TClassInfo* StaticClassInfo();

  int ReadInterval() const { return FReadInterval; }
  int ReadTotalMultiplier() const { return FReadTotalMultiplier; }
  int ReadTotalConstant() const { return FReadTotalConstant; }
  int WriteTotalMultiplier() const { return FWriteTotalMultiplier; }
  int WriteTotalConstant() const { return FWriteTotalConstant; }
  void SetReadInterval(int value);
  void SetReadTotalMultiplier(int value);
  void SetReadTotalConstant(int value);
  void SetWriteTotalMultiplier(int value);
  void SetWriteTotalConstant(int value);

  TCustomComPort* OwnerPort() const { return FOwnerPort; }

 protected:
  void AssignTo(vcl::TPersistent* dest) override;

 private:
  friend class TCustomComPort;
  void Changed();
  TCustomComPort* FOwnerPort = nullptr;
  int FReadInterval = -1;
  int FReadTotalMultiplier = 0;
  int FReadTotalConstant = 0;
  int FWriteTotalMultiplier = 100;
  int FWriteTotalConstant = 1000;
};

class TComFlowControl : public vcl::TPersistent {
 public:
  TComFlowControl() = default;
  const vcl::TClassInfo* ClassInfo() const override;
  static const vcl::TClassInfo* StaticClassInfo();

  // The whole style, read from and written into the fields below.
  TFlowControl FlowControl() const;
  void SetFlowControl(TFlowControl value);

  bool OutCTSFlow() const { return FOutCTSFlow; }
  bool OutDSRFlow() const { return FOutDSRFlow; }
  TDTRFlowControl ControlDTR() const { return FControlDTR; }
  TRTSFlowControl ControlRTS() const { return FControlRTS; }
  bool XonXoffOut() const { return FXonXoffOut; }
  bool XonXoffIn() const { return FXonXoffIn; }
  bool DSRSensitivity() const { return FDSRSensitivity; }
  bool TxContinueOnXoff() const { return FTxContinueOnXoff; }
  char XonChar() const { return FXonChar; }
  char XoffChar() const { return FXoffChar; }
  void SetOutCTSFlow(bool value);
  void SetOutDSRFlow(bool value);
  void SetControlDTR(TDTRFlowControl value);
  void SetControlRTS(TRTSFlowControl value);
  void SetXonXoffOut(bool value);
  void SetXonXoffIn(bool value);
  void SetDSRSensitivity(bool value);
  void SetTxContinueOnXoff(bool value);
  void SetXonChar(char value);
  void SetXoffChar(char value);

  TCustomComPort* OwnerPort() const { return FOwnerPort; }

 protected:
  void AssignTo(vcl::TPersistent* dest) override;

 private:
  friend class TCustomComPort;
  void Changed();
  TCustomComPort* FOwnerPort = nullptr;
  bool FOutCTSFlow = false;
  bool FOutDSRFlow = false;
  TDTRFlowControl FControlDTR = dtrDisable;
  TRTSFlowControl FControlRTS = rtsDisable;
  bool FXonXoffOut = false;
  bool FXonXoffIn = false;
  bool FDSRSensitivity = false;
  bool FTxContinueOnXoff = false;
  char FXonChar = 17;
  char FXoffChar = 19;
};

class TComParity : public vcl::TPersistent {
 public:
  TComParity() = default;
  const vcl::TClassInfo* ClassInfo() const override;
  static const vcl::TClassInfo* StaticClassInfo();

  TParityBits Bits() const { return FBits; }
  bool Check() const { return FCheck; }
  bool Replace() const { return FReplace; }
  char ReplaceChar() const { return FReplaceChar; }
  void SetBits(TParityBits value);
  void SetCheck(bool value);
  void SetReplace(bool value);
  void SetReplaceChar(char value);

  TCustomComPort* OwnerPort() const { return FOwnerPort; }

 protected:
  void AssignTo(vcl::TPersistent* dest) override;

 private:
  friend class TCustomComPort;
  void Changed();
  TCustomComPort* FOwnerPort = nullptr;
  TParityBits FBits = prNone;
  bool FCheck = false;
  bool FReplace = false;
  char FReplaceChar = 0;
};

class TComBuffer : public vcl::TPersistent {
 public:
  TComBuffer() = default;
  const vcl::TClassInfo* ClassInfo() const override;
  static const vcl::TClassInfo* StaticClassInfo();

  int InputSize() const { return FInputSize; }
  int OutputSize() const { return FOutputSize; }
  // An odd positive size is stored one lower (the driver wants even sizes).
  void SetInputSize(int value);
  void SetOutputSize(int value);

  TCustomComPort* OwnerPort() const { return FOwnerPort; }

 protected:
  void AssignTo(vcl::TPersistent* dest) override;

 private:
  friend class TCustomComPort;
  void Changed();
  TCustomComPort* FOwnerPort = nullptr;
  int FInputSize = 1024;
  int FOutputSize = 1024;
};

// ---------------------------------------------------------------------------
// One overlapped read or write. Created, started once, waited for and freed
// by the synchronous transfer that owns it, on one thread.

struct AsyncRequest {
  OVERLAPPED Overlapped;
  TRequestKind RequestKind;
  char* TxCopy;
  std::int32_t TxCopySize;
  // Whether a transfer was started on the request; waiting for a request
  // that never started returns 0 without asking the driver or the links.
  bool Started;
  // Last error of CreateEventA when the request's event could not be made
  // (hEvent null); the start operations refuse such a request.
  DWORD EventError;
};
using PAsync = AsyncRequest*;

void CreateRequest(PAsync& request);
void FreeRequest(PAsync& request);

// ---------------------------------------------------------------------------
// The port component.

class TCustomComPort : public vcl::TComponent {
 public:
  explicit TCustomComPort(vcl::TComponent* owner);
  ~TCustomComPort() override;

  const vcl::TClassInfo* ClassInfo() const override;
  static const vcl::TClassInfo* StaticClassInfo();

  void Loaded() override;

  // --- open and close ------------------------------------------------------
  void OpenPort();
  void ClosePort();
  void BeginSettingsUpdate();
  void EndSettingsUpdate();
  // Runs the settings dialog for this port (defined by the dialog's module).
  void ShowSettingsDialog();

  // --- transfers (calling thread; block until the driver completes) ----------
  int SendText(const std::string& text);
  int ReceiveText(std::string& text, int count);
  int ReceiveBuffer(void* buffer, int count);
  void AbortPendingIO();
  int PendingInputCount();
  TComLineSignals ReadLineSignals();
  TComErrors ReadLineErrors();

  // --- links -----------------------------------------------------------------
  void AttachLink(TComLink* link);
  void DetachLink(TComLink* link);

  // --- properties ------------------------------------------------------------
  bool Connected() const { return FConnected; }
  void SetConnected(bool value);
  TBaudRate BaudRate() const { return FBaudRate; }
  void SetBaudRate(TBaudRate value);
  int CustomBaudRate() const { return FCustomBaudRate; }
  void SetCustomBaudRate(int value);
  const std::string& Port() const { return FPort; }
  void SetPort(const std::string& value);
  TStopBits StopBits() const { return FStopBits; }
  void SetStopBits(TStopBits value);
  TDataBits DataBits() const { return FDataBits; }
  void SetDataBits(TDataBits value);
  bool DiscardNull() const { return FDiscardNull; }
  void SetDiscardNull(bool value);
  char EventChar() const { return FEventChar; }
  void SetEventChar(char value);
  TComEvents Events() const { return FEvents; }
  // Stored only: the event thread takes the set when the port opens.
  void SetEvents(TComEvents value) { FEvents = value; }
  TSyncMethod SyncMethod() const { return FSyncMethod; }
  void SetSyncMethod(TSyncMethod value);
  TComParity* Parity() const { return FParity; }
  void SetParity(TComParity* value);
  TComFlowControl* FlowControl() const { return FFlowControl; }
  void SetFlowControl(TComFlowControl* value);
  TComTimeouts* Timeouts() const { return FTimeouts; }
  void SetTimeouts(TComTimeouts* value);
  TComBuffer* Buffer() const { return FBuffer; }
  void SetBuffer(TComBuffer* value);

  // --- state, read only ------------------------------------------------------
  HANDLE DeviceHandle() const { return FDeviceHandle; }
  bool HasEventThread() const { return FHasEventThread; }
  TComThread* EventThread() const { return FEventThread; }
  HWND NotifyWindow() const { return FNotifyWindow; }
  int SettingsUpdateDepth() const { return FSettingsUpdateDepth; }
  bool RxBufLinked() const { return FRxBufLinked; }
  bool RxCharByCount() const { return FRxCharByCount; }
  vcl::TThreadPriority EventPriority() const { return FEventPriority; }
  int LinkCount() const { return FLinkList->Count(); }
  TComLink* Links(int index) const { return static_cast<TComLink*>(FLinkList->Items(index)); }

  // --- events (plain fields; assigned when their code part is set) ------------
  vcl::TNotifyEvent OnAfterOpen;
  vcl::TNotifyEvent OnAfterClose;
  vcl::TNotifyEvent OnBeforeOpen;
  vcl::TNotifyEvent OnBeforeClose;
  TRxCharEvent OnRxChar;
  TRxBufEvent OnRxBuf;
  vcl::TNotifyEvent OnTxEmpty;
  vcl::TNotifyEvent OnBreak;
  vcl::TNotifyEvent OnRing;
  TComSignalEvent OnCTSChange;
  TComSignalEvent OnDSRChange;
  TComSignalEvent OnRLSDChange;
  vcl::TNotifyEvent OnRxFlag;
  TComErrorEvent OnError;
  vcl::TNotifyEvent OnRx80Full;

 protected:
  friend class TComThread;
  friend class TComTimeouts;
  friend class TComFlowControl;
  friend class TComParity;
  friend class TComBuffer;

  virtual void OpenDeviceHandle();
  virtual void CloseDeviceHandle();
  virtual void ApplyAllSettings();
  virtual void ApplyLineSettings();
  virtual void ApplyTimeoutSettings();
  virtual void ApplyBufferSizes();

  virtual void FireAfterClose();
  virtual void FireAfterOpen();
  virtual void FireBeforeClose();
  virtual void FireBeforeOpen();
  virtual void FireRxChar(int count);
  virtual void FireRxBuf(const void* buffer, int count);
  virtual void FireTxEmpty();
  virtual void FireBreak();
  virtual void FireRing();
  virtual void FireRxFlag();
  virtual void FireCTSChange(bool onOff);
  virtual void FireDSRChange(bool onOff);
  virtual void FireError(TComErrors errors);
  virtual void FireRLSDChange(bool onOff);
  virtual void FireRx80Full();

  // Announcement steps of OpenPort and ClosePort.
  void HandleBeforeOpen();
  void HandleAfterOpen();
  void HandleBeforeClose();
  void HandleAfterClose();
  void AnnounceLineSignals(bool open);

  // Event entry points: the thread SyncMethod chooses.
  void HandleRxChar();
  void HandleTxEmpty();
  void HandleRxFlag();
  void HandleRing();
  void HandleBreak();
  void HandleCTSChange();
  void HandleDSRChange();
  void HandleRLSDChange();
  void HandleError();
  void HandleRx80Full();
  // Calls the entry point of one event.
  void HandleEvent(TComEvent event);
  // Window procedure of NotifyWindow (user-interface thread).
  void NotifyWindowProc(vcl::TMessage& message);

  // Link walks.
  void NotifyLinksSignal(TComLinkEvent kind, bool onOff);
  void NotifyLinksEvent(TComLinkEvent kind);
  void NotifyLinksTxBuffer(const void* buffer, int count);
  bool AnyLinkWantsRxBuffer() const;

  // The two-step transfer layer.
  int StartWrite(const void* buffer, int count, PAsync& request);
  int StartTextWrite(const std::string& text, PAsync& request);
  int StartRead(void* buffer, int count, PAsync& request);
  int StartTextRead(std::string& text, int count, PAsync& request);
  int WaitForRequest(PAsync& request);

 private:
  bool ApplyAllowed() const;
  bool Inactive() const;  // loading or designing
  void DeliverReceivedBytes(int& count);
  void StopEventThread();
  // Frees event threads that were let go from inside their own dispatch and
  // have ended since (any but the calling thread).
  void ReapRetiredThreads();
  // Closes whatever is still open without announcing anything; the
  // destructor's fall-back when ClosePort raised.
  void ForceClosed();
  // User-interface thread. The event thread found the device gone (`error`
  // is the system code) during the open numbered `generation`: the user is
  // told once and the port closes as by ClosePort.
  void DeviceLost(unsigned generation, DWORD error);
  // User-interface thread, inside a catch block or with an exception in
  // `error`: shows it, except a second report of the same lost device.
  void ReportFailure(std::exception_ptr error);
  static bool IsDeviceGone(const std::exception_ptr& error);
  // True (once per open) for a failure caused by the device having gone
  // away; later such failures are not shown again.
  bool FirstReportOfLoss(const std::exception_ptr& error);

  // Lets the event thread's queued notice find out whether the port still
  // exists: the port clears the pointer when it is destroyed. Both run on
  // the user-interface thread.
  std::shared_ptr<TCustomComPort*> FSelf = std::make_shared<TCustomComPort*>(this);
  unsigned FOpenGeneration = 0;  // counts the opens
  bool FLossReported = false;    // the current open's lost device was shown
  bool FClosing = false;         // inside ClosePort (its wait runs queued work)

  // Event threads let go by a ClosePort made from inside their dispatch.
  std::vector<TComThread*> FRetiredThreads;

  TComThread* FEventThread = nullptr;
  bool FHasEventThread = false;
  HANDLE FDeviceHandle = INVALID_HANDLE_VALUE;
  HWND FNotifyWindow = nullptr;
  int FSettingsUpdateDepth = 0;
  vcl::TList* FLinkList = nullptr;
  bool FRxCharByCount = true;
  vcl::TThreadPriority FEventPriority = vcl::TThreadPriority::tpNormal;
  bool FRxBufLinked = false;
  bool FConnected = false;
  TBaudRate FBaudRate = br9600;
  int FCustomBaudRate = 9600;
  std::string FPort = "COM1";
  TStopBits FStopBits = sbOneStopBit;
  TDataBits FDataBits = dbEight;
  bool FDiscardNull = false;
  char FEventChar = 0;
  TComEvents FEvents = AllComEvents;
  TComBuffer* FBuffer = nullptr;
  TComParity* FParity = nullptr;
  TComTimeouts* FTimeouts = nullptr;
  TComFlowControl* FFlowControl = nullptr;
  TSyncMethod FSyncMethod = smThreadSync;
};

// Publishes the settings and events for window layouts.
class TComPort : public TCustomComPort {
 public:
  explicit TComPort(vcl::TComponent* owner);
  const vcl::TClassInfo* ClassInfo() const override;
  static const vcl::TClassInfo* StaticClassInfo();
};

// Registers TComPort with the layout reader; safe to call more than once.
void RegisterEngineClasses();

// Names of the enumerations' values, in ordinal order, as layouts write them.
const vcl::TEnumNames& BaudRateNames();
const vcl::TEnumNames& DataBitsNames();
const vcl::TEnumNames& StopBitsNames();
const vcl::TEnumNames& ParityBitsNames();
const vcl::TEnumNames& DTRFlowControlNames();
const vcl::TEnumNames& RTSFlowControlNames();
const vcl::TEnumNames& FlowControlNames();
const vcl::TEnumNames& SyncMethodNames();
const vcl::TEnumNames& ComEventNames();

// ---------------------------------------------------------------------------
// The event thread of an open port with a non-empty Events set.

class TComThread : public vcl::TThread {
 public:
  // Runs on the thread that opens the port: makes StopEvent, sets the
  // device's event mask and starts the thread.
  explicit TComThread(TCustomComPort* port);
  // Runs on the thread that closes the port: stops the thread and waits for
  // its end (the wait keeps servicing Synchronize calls and sent messages).
  ~TComThread() override;

  void RequestStop();

  // Whether the calling thread is inside this thread's dispatch: the event
  // thread itself, or the user-interface thread running its batch under
  // smThreadSync. Such a caller cannot wait for the thread's end.
  bool CalledFromDispatch() const;
  // Lets the thread go without waiting for it (from inside its dispatch):
  // it finishes the batch without further events, skips the exit steps that
  // use the device (the caller makes them) and ends.
  void Detach();

  TCustomComPort* OwnerPort() const { return FOwnerPort; }
  TComEvents ReceivedEvents() const { return FReceivedEvents; }

 protected:
  void Execute() override;

 private:
  void DeliverEvents();
  void RunEventHandlers();
  void ForwardEventsToWindow();
  // Hands an exception (or a failure of the device wait) to the
  // application's display on the user-interface thread.
  void ReportToUser(std::exception_ptr error);

  TCustomComPort* FOwnerPort;
  std::shared_ptr<TCustomComPort*> FPortRef;  // see TCustomComPort::FSelf
  unsigned FGeneration = 0;
  HANDLE FStopEvent = nullptr;
  TComEvents FReceivedEvents;
  std::atomic<std::thread::id> FThreadId{};
  bool FDispatchingOnUserInterface = false;  // user-interface thread only
  std::atomic<bool> FDetached{false};
};

// ---------------------------------------------------------------------------
// Text forms of the settings. Parsing compares case-insensitively (letters
// a to z only) against the whole text and falls back to a fixed value.

std::string FormatBaudRate(TBaudRate value);
TBaudRate ParseBaudRate(const std::string& text);
std::string FormatDataBits(TDataBits value);
TDataBits ParseDataBits(const std::string& text);
std::string FormatStopBits(TStopBits value);
TStopBits ParseStopBits(const std::string& text);
std::string FormatParity(TParityBits value);
TParityBits ParseParity(const std::string& text);
std::string FormatFlowControl(TFlowControl value);
TFlowControl ParseFlowControl(const std::string& text);

// Replaces the content of `list` with the machine's serial port names from
// the serial device map, sorted case-insensitively. Raises EComPort
// ecRegistryError with the registry's result code; `list` is then untouched.
void ListPortNames(vcl::TStrings* list);
