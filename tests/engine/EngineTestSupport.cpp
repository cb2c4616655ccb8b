#include "EngineTestSupport.h"

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>


namespace enginetest {

void WakeUserInterface() {
  if (vcl::IsMainThread()) return;
  vcl::TThread::Queue([] {});
}

std::string Printable(const void* data, int count) {
  const auto* bytes = static_cast<const unsigned char*>(data);
  std::string out;
  for (int i = 0; i < count; ++i) {
    const unsigned char c = bytes[i];
    if (c == '\r') {
      out += "\\r";
    } else if (c == '\n') {
      out += "\\n";
    } else if (c >= 0x20 && c < 0x7F) {
      out += static_cast<char>(c);
    } else {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02X", c);
      out += hex;
    }
  }
  return out;
}

std::string Printable(const std::string& bytes) {
  return Printable(bytes.data(), static_cast<int>(bytes.size()));
}

std::string ErrorsText(TComErrors errors) {
  static const char* names[] = {"leFrame", "leRxParity", "leOverrun", "leBreak",
                                "leIO",    "leMode",     "leRxOver",  "leTxFull"};
  std::string out = "[";
  for (int i = 0; i < 8; ++i) {
    if (!errors.Contains(static_cast<TComLineError>(i))) continue;
    if (out.size() > 1) out += ",";
    out += names[i];
  }
  return out + "]";
}

std::unique_ptr<TComLink> MakeRecordingLink(Recorder& rec, bool wantsRxBuf, const std::string& prefix) {
  auto link = std::make_unique<TComLink>();
  auto signal = [&rec, prefix](const char* name) {
    return TComSignalEvent(
        [&rec, prefix, name](vcl::TObject*, bool on) { rec.Add(prefix + "." + name + "=" + (on ? "1" : "0")); },
        &rec);
  };
  auto plain = [&rec, prefix](const char* name) {
    return vcl::TNotifyEvent([&rec, prefix, name](vcl::TObject*) { rec.Add(prefix + "." + name); }, &rec);
  };
  link->OnLinkConn = signal("Conn");
  link->OnLinkCTSChange = signal("CTS");
  link->OnLinkDSRChange = signal("DSR");
  link->OnLinkRLSDChange = signal("RLSD");
  link->OnLinkTx = signal("Tx");
  link->OnLinkRx = signal("Rx");
  link->OnLinkRing = plain("Ring");
  link->OnLinkTxEmpty = plain("TxEmpty");
  link->OnLinkRxFlag = plain("RxFlag");
  link->OnLinkTxBuf = TRxBufEvent(
      [&rec, prefix](vcl::TObject*, const void* b, int n) { rec.Add(prefix + ".TxBuf:" + Printable(b, n)); },
      &rec);
  if (wantsRxBuf)
    link->OnLinkRxBuf = TRxBufEvent(
        [&rec, prefix](vcl::TObject*, const void* b, int n) { rec.Add(prefix + ".RxBuf:" + Printable(b, n)); },
        &rec);
  return link;
}

void RecordPortEvents(TCustomComPort& port, Recorder& rec) {
  auto plain = [&rec](const char* name) {
    return vcl::TNotifyEvent([&rec, name](vcl::TObject*) { rec.Add(name); }, &rec);
  };
  auto signal = [&rec](const char* name) {
    return TComSignalEvent(
        [&rec, name](vcl::TObject*, bool on) { rec.Add(std::string(name) + "=" + (on ? "1" : "0")); }, &rec);
  };
  port.OnBeforeOpen = plain("BeforeOpen");
  port.OnAfterOpen = plain("AfterOpen");
  port.OnBeforeClose = plain("BeforeClose");
  port.OnAfterClose = plain("AfterClose");
  port.OnTxEmpty = plain("TxEmpty");
  port.OnBreak = plain("Break");
  port.OnRing = plain("Ring");
  port.OnRxFlag = plain("RxFlag");
  port.OnRx80Full = plain("Rx80Full");
  port.OnCTSChange = signal("CTS");
  port.OnDSRChange = signal("DSR");
  port.OnRLSDChange = signal("RLSD");
  port.OnError = TComErrorEvent([&rec](vcl::TObject*, TComErrors e) { rec.Add("Error" + ErrorsText(e)); }, &rec);
  port.OnRxBuf = TRxBufEvent(
      [&rec](vcl::TObject*, const void* b, int n) { rec.Add("RxBuf:" + Printable(b, n)); }, &rec);
  port.OnRxChar = TRxCharEvent(
      [&rec, &port](vcl::TObject*, int count) {
        rec.Add("RxChar(" + std::to_string(count) + ")");
        std::string text;
        port.ReceiveText(text, count);
        rec.Add("read:" + Printable(text));
      },
      &rec);
}

ShownErrors::ShownErrors() : rec_(std::make_shared<Recorder>()) {
  auto rec = rec_;
  vcl::EnsureApplication()->ExceptionDisplay = [rec](const std::string& m) { rec->Add(m); };
}

ShownErrors::~ShownErrors() { vcl::EnsureApplication()->ExceptionDisplay = nullptr; }

std::vector<std::string> ShownErrors::Messages() const { return rec_->Entries(); }
std::size_t ShownErrors::Count() const { return rec_->Size(); }

std::vector<win32::DeviceCall> CallsOf(const win32::VirtualDevice& device, const std::string& function) {
  std::vector<win32::DeviceCall> out;
  for (auto& c : device.Calls())
    if (c.function == function) out.push_back(c);
  return out;
}

std::vector<std::string> CallNames(const win32::VirtualDevice& device) {
  std::vector<std::string> out;
  for (auto& c : device.Calls()) out.push_back(c.function);
  return out;
}

void VirtualPortTest::SetUp() {
  vcl::CheckSynchronize();  // wake-ups left by an earlier test
  static std::atomic<int> serial{0};
  name_ = "VCOM" + std::to_string(100 + serial++);
  device_ = win32::VirtualDevice::Register(name_);
  port_ = std::make_unique<TestPort>(nullptr);
  port_->SetPort(name_);
}

void VirtualPortTest::TearDown() {
  if (port_) {
    try {
      port_->ClosePort();
    } catch (...) {
    }
    port_.reset();
  }
  win32::VirtualDevice::Unregister(name_);
}

PseudoTerminal::PseudoTerminal() {
  master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) {
    ADD_FAILURE() << "no pseudo-terminal";
    return;
  }
  char name[128];
  if (ptsname_r(master_, name, sizeof name) == 0) slavePath_ = name;
  // Held open so that the master never sees a hang-up while the port is
  // closed between uses.
  keeper_ = ::open(slavePath_.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
}

PseudoTerminal::~PseudoTerminal() {
  if (keeper_ >= 0) ::close(keeper_);
  CloseMaster();
}

void PseudoTerminal::CloseMaster() {
  if (master_ >= 0) ::close(master_);
  master_ = -1;
}

EchoPeer::EchoPeer(int master) : master_(master) {
  if (::pipe2(stop_, O_CLOEXEC) != 0) ADD_FAILURE() << "pipe";
  thread_ = std::thread([this] { Run(); });
}

EchoPeer::~EchoPeer() {
  const char c = 0;
  if (::write(stop_[1], &c, 1) != 1) ADD_FAILURE() << "stop pipe";
  thread_.join();
  ::close(stop_[0]);
  ::close(stop_[1]);
}

void EchoPeer::Run() {
  char buffer[4096];
  for (;;) {
    pollfd fds[2] = {{master_, POLLIN, 0}, {stop_[0], POLLIN, 0}};
    if (::poll(fds, 2, -1) < 0) return;
    if (fds[1].revents) return;
    if (fds[0].revents & POLLIN) {
      const ssize_t n = ::read(master_, buffer, sizeof buffer);
      if (n <= 0) continue;
      ssize_t done = 0;
      while (done < n) {
        const ssize_t w = ::write(master_, buffer + done, static_cast<std::size_t>(n - done));
        if (w <= 0) return;
        done += w;
      }
    } else if (fds[0].revents & (POLLHUP | POLLERR)) {
      return;
    }
  }
}

}  // namespace enginetest
