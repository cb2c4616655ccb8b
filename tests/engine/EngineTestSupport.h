// Shared pieces of the engine's tests: a thread-safe recorder, a link and a
// set of port handlers that write every call into it, the capture of what
// the application shows the user, pseudo-terminals and a fixture around a
// virtual serial device.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "CPort.h"
#include "VirtualDevice.h"

namespace enginetest {

using namespace std::chrono_literals;

// Generous bound for waits on other threads: it only keeps a broken build
// from hanging; it never decides a result.
constexpr auto kGuard = 10s;

// Wakes a user-interface thread that waits in vcl::PumpUntil for something
// another thread changes (a handler running on the event thread under
// smNone): queues an empty piece of work without waiting for it.
void WakeUserInterface();

class Recorder {
 public:
  void Add(std::string entry) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      entries_.push_back(std::move(entry));
    }
    WakeUserInterface();
  }
  std::vector<std::string> Entries() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return entries_;
  }
  std::size_t Size() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return entries_.size();
  }
  bool Contains(const std::string& entry) const {
    std::lock_guard<std::mutex> lock(mutex_);
    for (const auto& e : entries_)
      if (e == entry) return true;
    return false;
  }
  void Clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    entries_.clear();
  }

 private:
  mutable std::mutex mutex_;
  std::vector<std::string> entries_;
};

// Bytes as printable text: "AT\r\n" stays readable, other bytes become \xNN.
std::string Printable(const void* data, int count);
std::string Printable(const std::string& bytes);
std::string ErrorsText(TComErrors errors);

// A link whose every slot writes "link.<slot>..." into the recorder. The
// received-bytes slot is assigned only on request: it changes how the port
// receives.
std::unique_ptr<TComLink> MakeRecordingLink(Recorder& rec, bool wantsRxBuf, const std::string& prefix = "link");

// Assigns all fifteen events of the port. OnRxChar reads the announced
// count with ReceiveText and records "read:<bytes>".
void RecordPortEvents(TCustomComPort& port, Recorder& rec);

// What the application's exception display is given, in order.
class ShownErrors {
 public:
  ShownErrors();
  ~ShownErrors();
  std::vector<std::string> Messages() const;
  std::size_t Count() const;

 private:
  std::shared_ptr<Recorder> rec_;
};

// The test's own port class: reaches the operations a window never calls.
class TestPort : public TComPort {
 public:
  using TComPort::TComPort;
  using TCustomComPort::ApplyLineSettings;
  using TCustomComPort::NotifyLinksEvent;
  using TCustomComPort::NotifyLinksSignal;
  using TCustomComPort::NotifyWindowProc;
  using TCustomComPort::StartRead;
  using TCustomComPort::StartWrite;
  using TCustomComPort::WaitForRequest;
};

// Calls of one function in a device's log.
std::vector<win32::DeviceCall> CallsOf(const win32::VirtualDevice& device, const std::string& function);
std::vector<std::string> CallNames(const win32::VirtualDevice& device);

// A fixture with a virtual device under a fresh name and a closed port on it.
class VirtualPortTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  // Waits on the user-interface thread, running deliveries, until `done`.
  static bool Pump(const std::function<bool()>& done) { return vcl::PumpUntil(done, kGuard); }

  std::string name_;
  std::shared_ptr<win32::VirtualDevice> device_;
  std::unique_ptr<TestPort> port_;
  Recorder rec_;
};

// A pseudo-terminal pair: the port opens the slave by path; the test (or an
// echoing peer) holds the master.
class PseudoTerminal {
 public:
  PseudoTerminal();
  ~PseudoTerminal();
  int Master() const { return master_; }
  const std::string& SlavePath() const { return slavePath_; }
  void CloseMaster();

 private:
  int master_ = -1;
  int keeper_ = -1;
  std::string slavePath_;
};

// Writes back everything it reads from the master, until stopped. Blocks in
// poll() on the master and a stop pipe.
class EchoPeer {
 public:
  explicit EchoPeer(int master);
  ~EchoPeer();

 private:
  void Run();
  int master_;
  int stop_[2] = {-1, -1};
  std::thread thread_;
};

}  // namespace enginetest
