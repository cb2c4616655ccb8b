// The virtual device: VirtualDeviceImpl is the far side (the registered
// object tests and tools drive); VirtualPort is the near side, the
// CommDevice a CreateFileA handle names, created per open.
//
// Locks: VirtualPort::mu_ (the CommDevice lock) is taken before
// VirtualDeviceImpl::mu_, never the other way round. Far-side calls read the
// open port under their own lock, release it, then call into the port.
#include <algorithm>
#include <cctype>
#include <condition_variable>
#include <map>
#include <mutex>
#include <thread>

#include "Devices.h"

namespace win32 {

class VirtualPort;

class VirtualDeviceImpl final : public VirtualDevice {
 public:
  explicit VirtualDeviceImpl(std::string name) : name_(std::move(name)) {}

  const std::string& Name() const override { return name_; }
  bool IsOpen() const override {
    std::lock_guard lock(mu_);
    return port_ != nullptr;
  }

  void Feed(const std::string& bytes) override;
  std::string TakeWritten() override {
    std::lock_guard lock(mu_);
    std::string out;
    out.swap(written_);
    return out;
  }
  std::string WaitWritten(std::size_t count, std::chrono::milliseconds timeout) override {
    std::unique_lock lock(mu_);
    writtenCv_.wait_for(lock, timeout, [&] { return written_.size() >= count; });
    return written_;
  }
  void PauseDrain(bool paused) override;

  void SetCTS(bool on) override { SetLine(MS_CTS_ON, on); }
  void SetDSR(bool on) override { SetLine(MS_DSR_ON, on); }
  void SetRLSD(bool on) override { SetLine(MS_RLSD_ON, on); }
  void Ring() override {
    SetLine(MS_RING_ON, true);
    SetLine(MS_RING_ON, false);
  }
  void SetRI(bool on) override { SetLine(MS_RING_ON, on); }
  bool DTR() const override {
    std::lock_guard lock(mu_);
    return dtr_;
  }
  bool RTS() const override {
    std::lock_guard lock(mu_);
    return rts_;
  }
  std::vector<LineChange> LineHistory() const override {
    std::lock_guard lock(mu_);
    return lineHistory_;
  }

  void InjectError(DWORD ceBits, char byte) override;
  void InjectBreak() override;
  void FailNext(const std::string& function, DWORD error) override {
    std::lock_guard lock(mu_);
    faults_[function] = error;
  }
  void Unplug() override;

  std::vector<DeviceCall> Calls() const override {
    std::lock_guard lock(mu_);
    return calls_;
  }
  void ClearCalls() override {
    std::lock_guard lock(mu_);
    calls_.clear();
  }

  bool Unplugged() const {
    std::lock_guard lock(mu_);
    return unplugged_;
  }

 private:
  friend class VirtualPort;
  friend std::shared_ptr<CommDevice> OpenVirtual(const std::shared_ptr<VirtualDeviceImpl>&,
                                                 const std::string&, DWORD, DWORD, bool, DWORD&);

  std::shared_ptr<VirtualPort> Port() const {
    std::lock_guard lock(mu_);
    return port_;
  }
  void SetLine(DWORD bit, bool on);

  // mu_ held: records a call, returns and clears the fault set for it.
  DWORD LogLocked(DeviceCall call) {
    DWORD fault = 0;
    auto it = faults_.find(call.function);
    if (it != faults_.end()) {
      fault = it->second;
      faults_.erase(it);
    }
    calls_.push_back(std::move(call));
    return fault;
  }

  const std::string name_;
  mutable std::mutex mu_;
  std::condition_variable writtenCv_;
  std::string written_;
  bool paused_ = false;
  DWORD modem_ = 0;
  bool dtr_ = false;
  bool rts_ = false;
  std::vector<LineChange> lineHistory_;
  std::vector<DeviceCall> calls_;
  std::map<std::string, DWORD> faults_;
  bool unplugged_ = false;
  std::shared_ptr<VirtualPort> port_;  // the open near side
};

class VirtualPort final : public CommDevice {
 public:
  VirtualPort(bool overlapped, std::shared_ptr<VirtualDeviceImpl> device)
      : CommDevice(overlapped), device_(std::move(device)) {}

  ~VirtualPort() override {
    if (timer_.joinable()) StopTimer();
  }

  void Start() {
    timer_ = std::thread([this] { TimerLoop(); });
  }

  // --- far-side entry points (the caller's thread) --------------------------
  void FarFeed(const std::string& bytes) {
    std::lock_guard lock(mu_);
    OnBytes(reinterpret_cast<const BYTE*>(bytes.data()), bytes.size());
  }
  void FarError(DWORD ceBits, char byte) {
    std::lock_guard lock(mu_);
    OnErrorByte(ceBits, static_cast<BYTE>(byte));
  }
  void FarBreak() {
    std::lock_guard lock(mu_);
    OnBreak();
  }
  void FarModem() {
    std::lock_guard lock(mu_);
    OnModemStatus(LineModemStatus());
  }
  void FarUpdate() {
    std::lock_guard lock(mu_);
    Update();
  }
  void FarUnplug() {
    std::lock_guard lock(mu_);
    OnVanished(ERROR_DEVICE_NOT_CONNECTED);
  }

  bool Logging() const override { return true; }
  DWORD Log(DeviceCall call) override {
    std::lock_guard lock(device_->mu_);
    return device_->LogLocked(std::move(call));
  }

 protected:
  DWORD LineConfigure(const DCB&) override { return ERROR_SUCCESS; }

  void LineDrive(bool dtr, bool rts, bool bySetState) override {
    std::lock_guard lock(device_->mu_);
    if (bySetState && (dtr != device_->dtr_ || rts != device_->rts_))
      device_->lineHistory_.push_back(LineChange{dtr, rts});
    device_->dtr_ = dtr;
    device_->rts_ = rts;
  }

  DWORD LineModemStatus() override {
    std::lock_guard lock(device_->mu_);
    return device_->modem_;
  }
  bool LineHasModemLines() const override { return true; }
  bool LineDoesXonXoff() const override { return false; }
  bool LineDoesCtsRts(const DCB&) const override { return false; }
  DWORD LineOutQueue() override { return 0; }
  void LinePurge(bool, bool) override {}

  void LineSendFlowChar(char c) override {
    std::lock_guard lock(device_->mu_);
    device_->written_.push_back(c);
    device_->writtenCv_.notify_all();
  }

  // The far side takes every queued byte at once unless draining is paused
  // or output flow control holds it.
  bool LinePump() override {
    if (output_.empty() || OutputHeld()) return false;
    std::lock_guard lock(device_->mu_);
    if (device_->paused_) return false;
    while (!output_.empty()) {
      auto front = output_.Front();
      device_->written_.append(reinterpret_cast<const char*>(front.data()), front.size());
      output_.Drop(front.size());
    }
    device_->writtenCv_.notify_all();
    return true;
  }

  void LineWake() override { timerCv_.notify_one(); }

  void LineStop() override {
    StopTimer();
    std::lock_guard lock(device_->mu_);
    // Closing drops DTR and RTS, as closing a port does.
    device_->dtr_ = false;
    device_->rts_ = false;
    if (device_->port_.get() == this) device_->port_.reset();  // ends the cycle
  }

 private:
  // Timer thread: sleeps until the earliest request deadline.
  void TimerLoop() {
    std::unique_lock lock(mu_);
    while (!stopping_) {
      const auto next = NextDeadline();
      if (next == Clock::time_point::max()) {
        timerCv_.wait(lock);
      } else {
        timerCv_.wait_until(lock, next);
      }
      if (!stopping_) ExpireDeadlines(Clock::now());
    }
  }

  void StopTimer() {
    {
      std::lock_guard lock(mu_);
      stopping_ = true;
    }
    timerCv_.notify_one();
    if (timer_.joinable()) timer_.join();
  }

  const std::shared_ptr<VirtualDeviceImpl> device_;
  std::thread timer_;
  std::condition_variable timerCv_;
  bool stopping_ = false;
};

// --- far side --------------------------------------------------------------

void VirtualDeviceImpl::Feed(const std::string& bytes) {
  if (auto port = Port()) port->FarFeed(bytes);
}

void VirtualDeviceImpl::PauseDrain(bool paused) {
  {
    std::lock_guard lock(mu_);
    paused_ = paused;
  }
  if (auto port = Port(); port && !paused) port->FarUpdate();
}

void VirtualDeviceImpl::SetLine(DWORD bit, bool on) {
  std::shared_ptr<VirtualPort> port;
  {
    std::lock_guard lock(mu_);
    modem_ = on ? (modem_ | bit) : (modem_ & ~bit);
    port = port_;
  }
  if (port) port->FarModem();
}

void VirtualDeviceImpl::InjectError(DWORD ceBits, char byte) {
  if (auto port = Port()) port->FarError(ceBits, byte);
}

void VirtualDeviceImpl::InjectBreak() {
  if (auto port = Port()) port->FarBreak();
}

void VirtualDeviceImpl::Unplug() {
  std::shared_ptr<VirtualPort> port;
  {
    std::lock_guard lock(mu_);
    unplugged_ = true;
    port = port_;
  }
  if (port) port->FarUnplug();
}

// --- registration ------------------------------------------------------------

namespace {

struct Registry {
  std::mutex mutex;
  std::map<std::string, std::shared_ptr<VirtualDeviceImpl>> devices;  // by upper-case name
};

// Never destroyed: devices may outlive static destruction at exit.
Registry& Devices() {
  static auto* registry = new Registry;
  return *registry;
}

std::string Upper(std::string_view name) {
  std::string key(name);
  for (char& c : key) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return key;
}

}  // namespace

std::shared_ptr<VirtualDevice> VirtualDevice::Register(const std::string& name) {
  auto device = std::make_shared<VirtualDeviceImpl>(name);
  Registry& registry = Devices();
  std::lock_guard lock(registry.mutex);
  registry.devices[Upper(name)] = device;
  return device;
}

void VirtualDevice::Unregister(const std::string& name) {
  Registry& registry = Devices();
  std::lock_guard lock(registry.mutex);
  registry.devices.erase(Upper(name));
}

std::shared_ptr<VirtualDeviceImpl> FindVirtualDevice(std::string_view name) {
  Registry& registry = Devices();
  std::lock_guard lock(registry.mutex);
  auto it = registry.devices.find(Upper(name));
  return it == registry.devices.end() ? nullptr : it->second;
}

std::vector<std::string> VirtualDeviceNames() {
  std::vector<std::shared_ptr<VirtualDeviceImpl>> devices;
  {
    Registry& registry = Devices();
    std::lock_guard lock(registry.mutex);
    for (auto& [key, device] : registry.devices) devices.push_back(device);
  }
  std::vector<std::string> names;
  for (auto& device : devices)
    if (!device->Unplugged()) names.push_back(device->Name());
  return names;
}

// Caller's thread.
std::shared_ptr<CommDevice> OpenVirtual(const std::shared_ptr<VirtualDeviceImpl>& device,
                                        const std::string& path, DWORD access, DWORD share,
                                        bool overlapped, DWORD& error) {
  std::shared_ptr<VirtualPort> port;
  {
    std::lock_guard lock(device->mu_);
    DeviceCall call;
    call.function = "CreateFileA";
    call.path = path;
    call.arg1 = access;
    call.arg2 = share;
    error = device->LogLocked(std::move(call));
    if (error == 0 && device->unplugged_) error = ERROR_FILE_NOT_FOUND;
    if (error == 0 && device->port_) error = ERROR_ACCESS_DENIED;  // exclusive
    if (error != 0) return nullptr;
    port = std::make_shared<VirtualPort>(overlapped, device);
    device->port_ = port;
  }
  port->Begin();
  try {
    port->Start();
  } catch (const std::system_error&) {
    std::lock_guard lock(device->mu_);
    device->port_.reset();
    error = ERROR_NOT_ENOUGH_MEMORY;
    return nullptr;
  }
  return port;
}

}  // namespace win32
