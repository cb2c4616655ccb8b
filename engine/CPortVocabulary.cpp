// The port's vocabulary: operating-system values of the settings, the event
// mask conversion, the engine's error messages and EComPort.
#include <iterator>
#include <string>

#include "CPort.h"

namespace {

// Event-set member -> driver event-mask bit, in member order.
constexpr DWORD kEventMaskBits[] = {
    EV_RXCHAR,  // evRxChar
    EV_TXEMPTY, // evTxEmpty
    EV_RXFLAG,  // evRxFlag
    EV_RING,    // evRing
    EV_BREAK,   // evBreak
    EV_CTS,     // evCTS
    EV_DSR,     // evDSR
    EV_ERR,     // evError
    EV_RLSD,    // evRLSD
    EV_RX80FULL // evRx80Full
};

constexpr const char* kErrorMessages[] = {
    "Unable to open com port",                        // 1
    "WriteFile function failed",                      // 2
    "ReadFile function failed",                       // 3
    "Invalid Async parameter",                        // 4
    "PurgeComm function failed",                      // 5
    "Unable to get async status",                     // 6
    "SetCommState function failed",                   // 7
    "SetCommTimeouts failed",                         // 8
    "SetupComm function failed",                      // 9
    "ClearCommError function failed",                 // 10
    "GetCommModemStatus function failed",             // 11
    "EscapeCommFunction function failed",             // 12
    "TransmitCommChar function failed",               // 13
    "Cannot set property while connected",            // 14
    "EnumPorts function failed",                      // 15
    "Failed to store settings",                       // 16
    "Failed to load settings",                        // 17
    "Link (un)registration failed",                   // 18
    "Cannot change led state if ComPort is selected", // 19
    "Cannot wait for event if event thread is created", // 20
    "WaitForEvent method failed",                     // 21
    "A component is linked to OnRxBuf event",         // 22
    "Registry error",                                 // 23
};

}  // namespace

DWORD BaudRateValue(TBaudRate rate) {
  static constexpr DWORD kRates[] = {0,     110,   300,   600,   1200,   2400,   4800,   9600,
                                     14400, 19200, 38400, 56000, 57600, 115200, 128000, 256000};
  return rate < std::size(kRates) ? kRates[rate] : 0;
}

BYTE DataBitsValue(TDataBits bits) { return static_cast<BYTE>(5 + bits); }
BYTE StopBitsValue(TStopBits bits) { return static_cast<BYTE>(bits); }
BYTE ParityValue(TParityBits bits) { return static_cast<BYTE>(bits); }

DWORD DTRControlValue(TDTRFlowControl control) {
  switch (control) {
    case dtrEnable: return DTR_CONTROL_ENABLE;
    case dtrHandshake: return DTR_CONTROL_HANDSHAKE;
    default: return DTR_CONTROL_DISABLE;
  }
}

DWORD RTSControlValue(TRTSFlowControl control) {
  switch (control) {
    case rtsEnable: return RTS_CONTROL_ENABLE;
    case rtsHandshake: return RTS_CONTROL_HANDSHAKE;
    case rtsToggle: return RTS_CONTROL_TOGGLE;
    default: return RTS_CONTROL_DISABLE;
  }
}

DWORD EventsToMask(TComEvents events) {
  DWORD mask = 0;
  for (unsigned i = 0; i < std::size(kEventMaskBits); ++i)
    if (events.Contains(static_cast<TComEvent>(i))) mask |= kEventMaskBits[i];
  return mask;
}

TComEvents MaskToEvents(DWORD mask) {
  TComEvents events;
  for (unsigned i = 0; i < std::size(kEventMaskBits); ++i)
    if (mask & kEventMaskBits[i]) events.Include(static_cast<TComEvent>(i));
  return events;
}

const char* ComErrorMessage(int engineCode) {
  if (engineCode < 1 || engineCode > static_cast<int>(std::size(kErrorMessages))) return "";
  return kErrorMessages[engineCode - 1];
}

EComPort::EComPort(int engineCode, int systemErrorCode)
    : vcl::Exception(std::string(ComErrorMessage(engineCode)) + " (win error code: " +
                     std::to_string(systemErrorCode) + ")"),
      SystemErrorCode(systemErrorCode),
      EngineCode(engineCode) {}

EComPort::EComPort(int engineCode)
    : vcl::Exception(ComErrorMessage(engineCode)), SystemErrorCode(-1), EngineCode(engineCode) {}
