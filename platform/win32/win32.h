// The subset of the Win32 API that the serial engine calls, implemented over
// POSIX. Names, types, constants, structure layouts and last-error codes follow
// the documented Win32 behaviour, so the engine reads as Win32 code.
//
// Every declaration here is written for this project; nothing is copied from
// a platform header.
#pragma once

#include <cstddef>
#include <cstdint>

using BOOL = int;
using BYTE = std::uint8_t;
using WORD = std::uint16_t;
using DWORD = std::uint32_t;
using LONG = std::int32_t;
using UINT = unsigned int;
using ULONG_PTR = std::uintptr_t;
using LONG_PTR = std::intptr_t;
using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using LRESULT = std::intptr_t;
using HANDLE = void*;
using LPVOID = void*;
using LPCVOID = const void*;
using LPDWORD = DWORD*;
using LPCSTR = const char*;
using LPSTR = char*;
using LPBYTE = BYTE*;
using LSTATUS = LONG;
using REGSAM = DWORD;
using HKEY = struct HKEY__*;
using HWND = struct HWND__*;
using HINSTANCE = struct HINSTANCE__*;

constexpr BOOL TRUE = 1;
constexpr BOOL FALSE = 0;

inline const HANDLE INVALID_HANDLE_VALUE =
    reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(-1));

// ---------------------------------------------------------------------------
// Last-error codes (GetLastError) and registry results.
constexpr DWORD ERROR_SUCCESS = 0;
constexpr DWORD ERROR_FILE_NOT_FOUND = 2;
constexpr DWORD ERROR_PATH_NOT_FOUND = 3;
constexpr DWORD ERROR_TOO_MANY_OPEN_FILES = 4;
constexpr DWORD ERROR_ACCESS_DENIED = 5;
constexpr DWORD ERROR_INVALID_HANDLE = 6;
constexpr DWORD ERROR_NOT_ENOUGH_MEMORY = 8;
constexpr DWORD ERROR_BAD_COMMAND = 22;
constexpr DWORD ERROR_GEN_FAILURE = 31;
constexpr DWORD ERROR_SHARING_VIOLATION = 32;
constexpr DWORD ERROR_NOT_SUPPORTED = 50;
constexpr DWORD ERROR_INVALID_PARAMETER = 87;
constexpr DWORD ERROR_INSUFFICIENT_BUFFER = 122;
constexpr DWORD ERROR_MORE_DATA = 234;
constexpr DWORD ERROR_NO_MORE_ITEMS = 259;
constexpr DWORD ERROR_OPERATION_ABORTED = 995;
constexpr DWORD ERROR_IO_INCOMPLETE = 996;
constexpr DWORD ERROR_IO_PENDING = 997;
constexpr DWORD ERROR_DEVICE_NOT_CONNECTED = 1167;
constexpr DWORD ERROR_BAD_DEVICE = 1200;

DWORD GetLastError();
void SetLastError(DWORD code);

// ---------------------------------------------------------------------------
// Handles, events and waits.
constexpr DWORD INFINITE = 0xFFFFFFFFu;
constexpr DWORD WAIT_OBJECT_0 = 0;
constexpr DWORD WAIT_ABANDONED_0 = 0x80;
constexpr DWORD WAIT_TIMEOUT = 258;
constexpr DWORD WAIT_FAILED = 0xFFFFFFFFu;
constexpr DWORD MAXIMUM_WAIT_OBJECTS = 64;

struct SECURITY_ATTRIBUTES {
  DWORD nLength;
  LPVOID lpSecurityDescriptor;
  BOOL bInheritHandle;
};
using LPSECURITY_ATTRIBUTES = SECURITY_ATTRIBUTES*;

HANDLE CreateEventA(LPSECURITY_ATTRIBUTES attributes, BOOL manualReset,
                    BOOL initialState, LPCSTR name);
BOOL SetEvent(HANDLE event);
BOOL ResetEvent(HANDLE event);
DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds);
DWORD WaitForMultipleObjects(DWORD count, const HANDLE* handles, BOOL waitAll,
                             DWORD milliseconds);
BOOL CloseHandle(HANDLE handle);
void Sleep(DWORD milliseconds);

// ---------------------------------------------------------------------------
// Files and overlapped I/O.
constexpr DWORD GENERIC_READ = 0x80000000u;
constexpr DWORD GENERIC_WRITE = 0x40000000u;
constexpr DWORD OPEN_EXISTING = 3;
constexpr DWORD FILE_ATTRIBUTE_NORMAL = 0x80;
constexpr DWORD FILE_FLAG_OVERLAPPED = 0x40000000u;

struct OVERLAPPED {
  ULONG_PTR Internal;      // status: STATUS_PENDING while running, else a Win32 error code
  ULONG_PTR InternalHigh;  // bytes transferred
  DWORD Offset;
  DWORD OffsetHigh;
  HANDLE hEvent;
};
using LPOVERLAPPED = OVERLAPPED*;
constexpr ULONG_PTR STATUS_PENDING = 0x103;

HANDLE CreateFileA(LPCSTR fileName, DWORD desiredAccess, DWORD shareMode,
                   LPSECURITY_ATTRIBUTES securityAttributes,
                   DWORD creationDisposition, DWORD flagsAndAttributes,
                   HANDLE templateFile);
BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD numberOfBytesToRead,
              LPDWORD numberOfBytesRead, LPOVERLAPPED overlapped);
BOOL WriteFile(HANDLE file, LPCVOID buffer, DWORD numberOfBytesToWrite,
               LPDWORD numberOfBytesWritten, LPOVERLAPPED overlapped);
BOOL GetOverlappedResult(HANDLE file, LPOVERLAPPED overlapped,
                         LPDWORD numberOfBytesTransferred, BOOL wait);

// ---------------------------------------------------------------------------
// Serial communications.

// DCB.Flags bits (the C bit-field of the Win32 DCB, as one word).
constexpr DWORD DCB_fBinary = 0x00000001;
constexpr DWORD DCB_fParity = 0x00000002;
constexpr DWORD DCB_fOutxCtsFlow = 0x00000004;
constexpr DWORD DCB_fOutxDsrFlow = 0x00000008;
constexpr DWORD DCB_fDtrControlMask = 0x00000030;
constexpr DWORD DCB_fDsrSensitivity = 0x00000040;
constexpr DWORD DCB_fTXContinueOnXoff = 0x00000080;
constexpr DWORD DCB_fOutX = 0x00000100;
constexpr DWORD DCB_fInX = 0x00000200;
constexpr DWORD DCB_fErrorChar = 0x00000400;
constexpr DWORD DCB_fNull = 0x00000800;
constexpr DWORD DCB_fRtsControlMask = 0x00003000;
constexpr DWORD DCB_fAbortOnError = 0x00004000;

// Values of the two-bit control fields, already shifted into place.
constexpr DWORD DTR_CONTROL_DISABLE = 0x00;
constexpr DWORD DTR_CONTROL_ENABLE = 0x10;
constexpr DWORD DTR_CONTROL_HANDSHAKE = 0x20;
constexpr DWORD RTS_CONTROL_DISABLE = 0x0000;
constexpr DWORD RTS_CONTROL_ENABLE = 0x1000;
constexpr DWORD RTS_CONTROL_HANDSHAKE = 0x2000;
constexpr DWORD RTS_CONTROL_TOGGLE = 0x3000;

constexpr BYTE NOPARITY = 0;
constexpr BYTE ODDPARITY = 1;
constexpr BYTE EVENPARITY = 2;
constexpr BYTE MARKPARITY = 3;
constexpr BYTE SPACEPARITY = 4;
constexpr BYTE ONESTOPBIT = 0;
constexpr BYTE ONE5STOPBITS = 1;
constexpr BYTE TWOSTOPBITS = 2;

struct DCB {
  DWORD DCBlength;
  DWORD BaudRate;
  DWORD Flags;
  WORD wReserved;
  WORD XonLim;
  WORD XoffLim;
  BYTE ByteSize;
  BYTE Parity;
  BYTE StopBits;
  char XonChar;
  char XoffChar;
  char ErrorChar;
  char EofChar;
  char EvtChar;
  WORD wReserved1;
};
static_assert(sizeof(DCB) == 28, "DCB must keep the Win32 layout");
using LPDCB = DCB*;

struct COMMTIMEOUTS {
  DWORD ReadIntervalTimeout;
  DWORD ReadTotalTimeoutMultiplier;
  DWORD ReadTotalTimeoutConstant;
  DWORD WriteTotalTimeoutMultiplier;
  DWORD WriteTotalTimeoutConstant;
};
using LPCOMMTIMEOUTS = COMMTIMEOUTS*;
constexpr DWORD MAXDWORD = 0xFFFFFFFFu;

struct COMSTAT {
  DWORD Flags;  // fCtsHold, fDsrHold, fRlsdHold, fXoffHold, fXoffSent, fEof, fTxim
  DWORD cbInQue;
  DWORD cbOutQue;
};
using LPCOMSTAT = COMSTAT*;

// Event mask bits (SetCommMask, WaitCommEvent).
constexpr DWORD EV_RXCHAR = 0x0001;
constexpr DWORD EV_RXFLAG = 0x0002;
constexpr DWORD EV_TXEMPTY = 0x0004;
constexpr DWORD EV_CTS = 0x0008;
constexpr DWORD EV_DSR = 0x0010;
constexpr DWORD EV_RLSD = 0x0020;
constexpr DWORD EV_BREAK = 0x0040;
constexpr DWORD EV_ERR = 0x0080;
constexpr DWORD EV_RING = 0x0100;
constexpr DWORD EV_PERR = 0x0200;
constexpr DWORD EV_RX80FULL = 0x0400;
constexpr DWORD EV_EVENT1 = 0x0800;
constexpr DWORD EV_EVENT2 = 0x1000;

// Line errors (ClearCommError).
constexpr DWORD CE_RXOVER = 0x0001;
constexpr DWORD CE_OVERRUN = 0x0002;
constexpr DWORD CE_RXPARITY = 0x0004;
constexpr DWORD CE_FRAME = 0x0008;
constexpr DWORD CE_BREAK = 0x0010;
constexpr DWORD CE_TXFULL = 0x0100;
constexpr DWORD CE_PTO = 0x0200;
constexpr DWORD CE_IOE = 0x0400;
constexpr DWORD CE_DNS = 0x0800;
constexpr DWORD CE_OOP = 0x1000;
constexpr DWORD CE_MODE = 0x8000;

// Modem status (GetCommModemStatus).
constexpr DWORD MS_CTS_ON = 0x0010;
constexpr DWORD MS_DSR_ON = 0x0020;
constexpr DWORD MS_RING_ON = 0x0040;
constexpr DWORD MS_RLSD_ON = 0x0080;

// PurgeComm flags.
constexpr DWORD PURGE_TXABORT = 0x0001;
constexpr DWORD PURGE_RXABORT = 0x0002;
constexpr DWORD PURGE_TXCLEAR = 0x0004;
constexpr DWORD PURGE_RXCLEAR = 0x0008;

BOOL SetupComm(HANDLE file, DWORD inQueue, DWORD outQueue);
BOOL GetCommState(HANDLE file, LPDCB dcb);
BOOL SetCommState(HANDLE file, LPDCB dcb);
BOOL GetCommTimeouts(HANDLE file, LPCOMMTIMEOUTS timeouts);
BOOL SetCommTimeouts(HANDLE file, LPCOMMTIMEOUTS timeouts);
BOOL GetCommMask(HANDLE file, LPDWORD eventMask);
BOOL SetCommMask(HANDLE file, DWORD eventMask);
BOOL WaitCommEvent(HANDLE file, LPDWORD eventMask, LPOVERLAPPED overlapped);
BOOL PurgeComm(HANDLE file, DWORD flags);
BOOL ClearCommError(HANDLE file, LPDWORD errors, LPCOMSTAT stat);
BOOL GetCommModemStatus(HANDLE file, LPDWORD modemStat);

// ---------------------------------------------------------------------------
// Registry, read only: HKEY_LOCAL_MACHINE\HARDWARE\DEVICEMAP\SERIALCOMM.
inline const HKEY HKEY_LOCAL_MACHINE =
    reinterpret_cast<HKEY>(static_cast<std::uintptr_t>(0x80000002u));
constexpr REGSAM KEY_QUERY_VALUE = 0x0001;
constexpr REGSAM KEY_ENUMERATE_SUB_KEYS = 0x0008;
constexpr REGSAM KEY_NOTIFY = 0x0010;
constexpr REGSAM KEY_READ = 0x20019;
constexpr DWORD REG_SZ = 1;

LSTATUS RegOpenKeyExA(HKEY key, LPCSTR subKey, DWORD options, REGSAM desired,
                      HKEY* result);
LSTATUS RegEnumValueA(HKEY key, DWORD index, LPSTR valueName,
                      LPDWORD valueNameChars, LPDWORD reserved, LPDWORD type,
                      LPBYTE data, LPDWORD dataBytes);
LSTATUS RegCloseKey(HKEY key);

// ---------------------------------------------------------------------------
// Window messages (implemented by the component runtime, platform/vcl).
constexpr UINT WM_USER = 0x0400;
