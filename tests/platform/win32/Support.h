// Helpers shared by the win32 tests: overlapped requests, a pseudo-terminal
// pair, and the far side of a device under test.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <string>

#include "VirtualDevice.h"
#include "win32.h"

namespace w32test {

constexpr DWORD kSentinel = 0xDEADBEEF;  // proves that a call set the last error
constexpr DWORD kLongWait = 10000;       // hang guard, never a measured time

// One overlapped request with its own manual-reset event.
struct Request {
  OVERLAPPED ov{};
  Request() { ov.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr); }
  ~Request() { CloseHandle(ov.hEvent); }
  Request(const Request&) = delete;
  Request& operator=(const Request&) = delete;
  bool Done(DWORD ms = kLongWait) { return WaitForSingleObject(ov.hEvent, ms) == WAIT_OBJECT_0; }
  bool Pending() { return WaitForSingleObject(ov.hEvent, 0) == WAIT_TIMEOUT; }
};

inline HANDLE OpenPort(const std::string& name, DWORD flags = FILE_FLAG_OVERLAPPED) {
  std::string path = "\\\\.\\" + name;
  return CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, flags,
                     nullptr);
}

// The engine's default settings: 115200 8N1, DTR and RTS off.
inline DCB EngineDcb() {
  DCB dcb{};
  dcb.DCBlength = sizeof(DCB);
  dcb.BaudRate = 115200;
  dcb.Flags = DCB_fBinary;
  dcb.XonLim = 256;
  dcb.XoffLim = 256;
  dcb.ByteSize = 8;
  dcb.XonChar = 0x11;
  dcb.XoffChar = 0x13;
  return dcb;
}

// Reads return at once with what is queued; a write of n bytes may take
// 100 n + 1000 ms.
inline COMMTIMEOUTS EngineTimeouts() { return COMMTIMEOUTS{MAXDWORD, 0, 0, 100, 1000}; }

// Writes and waits for completion; returns the byte count (or ~0u on failure).
inline DWORD WriteAll(HANDLE h, const std::string& data) {
  Request r;
  DWORD n = 0;
  if (!WriteFile(h, data.data(), static_cast<DWORD>(data.size()), &n, &r.ov) &&
      GetLastError() != ERROR_IO_PENDING)
    return ~0u;
  if (!GetOverlappedResult(h, &r.ov, &n, TRUE)) return ~0u;
  return n;
}

// Reads with the current timeouts and waits for completion.
inline std::string ReadSome(HANDLE h, DWORD count) {
  Request r;
  std::string buffer(count, '\0');
  DWORD n = 0;
  if (!ReadFile(h, buffer.data(), count, &n, &r.ov) && GetLastError() != ERROR_IO_PENDING)
    return "<failed>";
  if (!GetOverlappedResult(h, &r.ov, &n, TRUE)) return "<failed>";
  buffer.resize(n);
  return buffer;
}

// Waits (blocking) until at least `count` bytes are queued: one event wait per
// arrival, never a polling loop.
inline DWORD WaitQueued(HANDLE h, DWORD count) {
  COMSTAT stat{};
  DWORD errors = 0;
  DWORD mask = 0;
  GetCommMask(h, &mask);
  SetCommMask(h, mask | EV_RXCHAR);
  for (int i = 0; i < 1000; ++i) {
    if (!ClearCommError(h, &errors, &stat)) return 0;
    if (stat.cbInQue >= count) break;
    Request r;
    DWORD events = 0;
    if (!WaitCommEvent(h, &events, &r.ov) && GetLastError() != ERROR_IO_PENDING) return 0;
    // A wait that completes early (history) or on new bytes: look again.
    if (!r.Done()) break;
  }
  SetCommMask(h, mask);
  ClearCommError(h, &errors, &stat);
  return stat.cbInQue;
}

// A pseudo-terminal pair; the test holds the master, the device opens the
// slave.
class Pty {
 public:
  Pty() {
    master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master_ >= 0 && grantpt(master_) == 0 && unlockpt(master_) == 0) {
      char name[128];
      if (ptsname_r(master_, name, sizeof name) == 0) slave_ = name;
    }
  }
  ~Pty() { CloseMaster(); }
  Pty(const Pty&) = delete;
  Pty& operator=(const Pty&) = delete;

  bool Ok() const { return master_ >= 0 && !slave_.empty(); }
  int Master() const { return master_; }
  const std::string& Slave() const { return slave_; }

  void Send(const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
      ssize_t n = ::write(master_, bytes.data() + done, bytes.size() - done);
      if (n <= 0) return;
      done += static_cast<std::size_t>(n);
    }
  }

  // Reads until `count` bytes came or `timeout` passed without any.
  std::string Receive(std::size_t count, std::chrono::milliseconds timeout) {
    std::string out;
    while (out.size() < count) {
      pollfd p{master_, POLLIN, 0};
      if (::poll(&p, 1, static_cast<int>(timeout.count())) <= 0) break;
      char buf[4096];
      ssize_t n = ::read(master_, buf, sizeof buf);
      if (n <= 0) break;
      out.append(buf, static_cast<std::size_t>(n));
    }
    return out;
  }

  void CloseMaster() {
    if (master_ >= 0) ::close(master_);
    master_ = -1;
  }

 private:
  int master_ = -1;
  std::string slave_;
};

// The far end of the line of a device under test.
class FarSide {
 public:
  virtual ~FarSide() = default;
  virtual std::string PortName() = 0;
  virtual void Send(const std::string& bytes) = 0;
  virtual std::string Receive(std::size_t count) = 0;
  virtual void Hangup() = 0;
};

class PtyFar : public FarSide {
 public:
  std::string PortName() override { return pty_.Slave(); }
  void Send(const std::string& bytes) override {
    // Raw master side: nothing of the bytes is interpreted on the way.
    pty_.Send(bytes);
  }
  std::string Receive(std::size_t count) override {
    return pty_.Receive(count, std::chrono::milliseconds(kLongWait));
  }
  void Hangup() override { pty_.CloseMaster(); }
  Pty& Get() { return pty_; }

 private:
  Pty pty_;
};

class VirtualFar : public FarSide {
 public:
  VirtualFar() {
    static std::atomic<int> serial{0};
    name_ = "VTEST" + std::to_string(++serial);
    device_ = win32::VirtualDevice::Register(name_);
  }
  ~VirtualFar() override { win32::VirtualDevice::Unregister(name_); }
  std::string PortName() override { return name_; }
  void Send(const std::string& bytes) override { device_->Feed(bytes); }
  std::string Receive(std::size_t count) override {
    device_->WaitWritten(count, std::chrono::milliseconds(kLongWait));
    return device_->TakeWritten();
  }
  void Hangup() override { device_->Unplug(); }
  win32::VirtualDevice& Device() { return *device_; }

 private:
  std::string name_;
  std::shared_ptr<win32::VirtualDevice> device_;
};

}  // namespace w32test
