// Figures for the tty device on one pseudo-terminal pair, each against the
// plain POSIX way in the same run:
//  1. receive throughput the way the engine reads (WaitCommEvent, then
//     ClearCommError, then ReadFile of what is queued) against a poll() and
//     read() loop on the same slave;
//  2. latency from a byte written on the master to the completed EV_RXCHAR
//     wait, against poll() waking on the slave;
//  3. wake-ups of the process's other threads over 10 s with the device open,
//     an event wait pending and no traffic.
// Usage: bench_win32 [megabytes] [idle seconds] [input queue bytes]
#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "TtyIoctl.h"
#include "win32.h"

namespace {

using Clock = std::chrono::steady_clock;

struct PtyPair {
  int master = -1;
  std::string slave;
  PtyPair() {
    master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    char name[128];
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0 ||
        ptsname_r(master, name, sizeof name) != 0) {
      std::perror("pty");
      std::exit(1);
    }
    slave = name;
  }
  ~PtyPair() { close(master); }
};

void Feed(int fd, std::size_t total) {
  std::vector<char> chunk(4096);
  for (std::size_t i = 0; i < chunk.size(); ++i) chunk[i] = static_cast<char>('a' + i % 26);
  std::size_t sent = 0;
  while (sent < total) {
    ssize_t n = write(fd, chunk.data(), std::min(chunk.size(), total - sent));
    if (n <= 0) return;
    sent += static_cast<std::size_t>(n);
  }
}

DWORD inputQueue = 1024;  // the engine's default input size

HANDLE OpenDevice(const std::string& path) {
  std::string name = "\\\\.\\" + path;
  HANDLE h = CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                         FILE_FLAG_OVERLAPPED, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    std::fprintf(stderr, "open %s failed: %u\n", path.c_str(), GetLastError());
    std::exit(1);
  }
  // The engine's opening sequence with its defaults.
  SetupComm(h, inputQueue, 1024);
  DCB dcb{};
  dcb.DCBlength = sizeof dcb;
  dcb.BaudRate = 115200;
  dcb.Flags = DCB_fBinary;
  dcb.XonLim = dcb.XoffLim = 256;
  dcb.ByteSize = 8;
  dcb.XonChar = 0x11;
  dcb.XoffChar = 0x13;
  SetCommState(h, &dcb);
  COMMTIMEOUTS t{MAXDWORD, 0, 0, 100, 1000};
  SetCommTimeouts(h, &t);
  return h;
}

// A raw descriptor on the slave, configured as a raw-mode application would.
int OpenRaw(const std::string& path) {
  int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  win32::TtyLineConfig c;
  c.baud = 115200;
  c.markErrors = false;
  win32::TtyApply(fd, c);
  return fd;
}

// --- 1. throughput -------------------------------------------------------

double EngineThroughput(PtyPair& pty, std::size_t total) {
  HANDLE h = OpenDevice(pty.slave);
  SetCommMask(h, EV_RXCHAR);
  HANDLE stop = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  OVERLAPPED wait{};
  wait.hEvent = CreateEventA(nullptr, TRUE, TRUE, nullptr);
  OVERLAPPED read{};
  read.hEvent = CreateEventA(nullptr, TRUE, TRUE, nullptr);
  std::vector<char> buffer(64 * 1024);
  std::size_t got = 0;
  const auto start = Clock::now();
  std::thread writer([&] { Feed(pty.master, total); });
  while (got < total) {
    DWORD mask = 0, n = 0;
    WaitCommEvent(h, &mask, &wait);
    HANDLE both[2] = {stop, wait.hEvent};
    if (WaitForMultipleObjects(2, both, FALSE, INFINITE) != WAIT_OBJECT_0 + 1) break;
    if (!GetOverlappedResult(h, &wait, &n, FALSE)) continue;
    COMSTAT stat{};
    DWORD errors = 0;
    ClearCommError(h, &errors, &stat);
    if (stat.cbInQue == 0) continue;
    DWORD want = std::min<DWORD>(stat.cbInQue, static_cast<DWORD>(buffer.size()));
    if (!ReadFile(h, buffer.data(), want, &n, &read) && GetLastError() == ERROR_IO_PENDING) {
      WaitForSingleObject(read.hEvent, INFINITE);
      GetOverlappedResult(h, &read, &n, FALSE);
    }
    got += n;
  }
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  writer.join();
  SetCommMask(h, 0);
  PurgeComm(h, PURGE_TXCLEAR | PURGE_RXCLEAR);
  CloseHandle(wait.hEvent);
  CloseHandle(read.hEvent);
  CloseHandle(stop);
  CloseHandle(h);
  return static_cast<double>(got) / seconds / 1e6;
}

double RawThroughput(PtyPair& pty, std::size_t total) {
  int fd = OpenRaw(pty.slave);
  std::vector<char> buffer(64 * 1024);
  std::size_t got = 0;
  const auto start = Clock::now();
  std::thread writer([&] { Feed(pty.master, total); });
  while (got < total) {
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, -1) <= 0) break;
    ssize_t n = ::read(fd, buffer.data(), buffer.size());
    if (n > 0) got += static_cast<std::size_t>(n);
  }
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  writer.join();
  close(fd);
  return static_cast<double>(got) / seconds / 1e6;
}

// --- 2. latency ------------------------------------------------------------

struct Spread {
  double median, p99;
};

Spread Summarise(std::vector<double> us) {
  std::sort(us.begin(), us.end());
  return {us[us.size() / 2], us[us.size() * 99 / 100]};
}

// Rounds alternate between the device (on one pair) and poll() on a raw
// slave (on another pair), so both see the same load from other processes.
// Device: the byte completes a pending EV_RXCHAR wait that this thread
// blocks on. Raw: poll() in this thread wakes on the slave.
std::pair<Spread, Spread> Latency(PtyPair& devicePty, PtyPair& rawPty, int rounds) {
  HANDLE h = OpenDevice(devicePty.slave);
  SetCommMask(h, EV_RXCHAR);
  OVERLAPPED wait{};
  wait.hEvent = CreateEventA(nullptr, TRUE, TRUE, nullptr);
  int fd = OpenRaw(rawPty.slave);
  std::vector<double> device, raw;
  char byte = 'x', sink[16];
  for (int i = 0; i < rounds; ++i) {
    DWORD mask = 0, n = 0;
    WaitCommEvent(h, &mask, &wait);
    std::this_thread::sleep_for(std::chrono::microseconds(300));
    auto t0 = Clock::now();
    if (write(devicePty.master, &byte, 1) != 1) break;
    WaitForSingleObject(wait.hEvent, INFINITE);
    auto t1 = Clock::now();
    device.push_back(std::chrono::duration<double, std::micro>(t1 - t0).count());
    OVERLAPPED read{};
    ReadFile(h, sink, sizeof sink, &n, &read);

    std::this_thread::sleep_for(std::chrono::microseconds(300));
    t0 = Clock::now();
    if (write(rawPty.master, &byte, 1) != 1) break;
    pollfd p{fd, POLLIN, 0};
    poll(&p, 1, -1);
    t1 = Clock::now();
    raw.push_back(std::chrono::duration<double, std::micro>(t1 - t0).count());
    [[maybe_unused]] ssize_t r = ::read(fd, sink, sizeof sink);
  }
  close(fd);
  SetCommMask(h, 0);
  CloseHandle(wait.hEvent);
  CloseHandle(h);
  return {Summarise(device), Summarise(raw)};
}

// --- 3. wake-ups ------------------------------------------------------------

long ContextSwitches(pid_t except) {
  long total = 0;
  DIR* dir = opendir("/proc/self/task");
  while (dirent* e = readdir(dir)) {
    if (e->d_name[0] == '.' || atoi(e->d_name) == except) continue;
    std::ifstream status(std::string("/proc/self/task/") + e->d_name + "/status");
    std::string line;
    while (std::getline(status, line))
      if (line.rfind("voluntary_ctxt_switches:", 0) == 0 ||
          line.rfind("nonvoluntary_ctxt_switches:", 0) == 0)
        total += std::stol(line.substr(line.find(':') + 1));
  }
  closedir(dir);
  return total;
}

long IdleWakeups(PtyPair& pty, int seconds) {
  HANDLE h = OpenDevice(pty.slave);
  SetCommMask(h, 0x05FF);
  OVERLAPPED wait{};
  wait.hEvent = CreateEventA(nullptr, TRUE, TRUE, nullptr);
  DWORD mask = 0;
  WaitCommEvent(h, &mask, &wait);
  std::this_thread::sleep_for(std::chrono::milliseconds(100));  // let the threads settle
  const pid_t self = static_cast<pid_t>(syscall(SYS_gettid));
  const long before = ContextSwitches(self);
  std::this_thread::sleep_for(std::chrono::seconds(seconds));
  const long after = ContextSwitches(self);
  SetCommMask(h, 0);
  CloseHandle(wait.hEvent);
  CloseHandle(h);
  return after - before;
}

}  // namespace

int main(int argc, char** argv) {
  const std::size_t megabytes = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 32;
  const int idle = argc > 2 ? std::atoi(argv[2]) : 10;
  if (argc > 3) inputQueue = static_cast<DWORD>(std::strtoul(argv[3], nullptr, 10));
  PtyPair pty;
  std::printf("pseudo-terminal %s, device input queue %u bytes\n", pty.slave.c_str(), inputQueue);

  // Pairs run back to back, in alternating order, so that load from other
  // processes hits both sides alike; the ratio is the median of the pairs'.
  std::vector<double> engine, raw, ratio;
  for (int run = 0; run < 5; ++run) {
    double r = 0, e = 0;
    if (run % 2 == 0) {
      r = RawThroughput(pty, megabytes << 20);
      e = EngineThroughput(pty, megabytes << 20);
    } else {
      e = EngineThroughput(pty, megabytes << 20);
      r = RawThroughput(pty, megabytes << 20);
    }
    engine.push_back(e);
    raw.push_back(r);
    ratio.push_back(e / r);
  }
  std::sort(engine.begin(), engine.end());
  std::sort(raw.begin(), raw.end());
  std::sort(ratio.begin(), ratio.end());
  std::printf("1. receive throughput, 5 pairs of %zu MiB: WaitCommEvent+ClearCommError+ReadFile median "
              "%.1f MB/s, poll+read median %.1f MB/s, median ratio %.2f (pairs %.2f..%.2f; aim >= 0.80)\n",
              megabytes, engine[2], raw[2], ratio[2], ratio.front(), ratio.back());

  const int rounds = 2000;
  PtyPair second;
  auto [engLat, rawLat] = Latency(pty, second, rounds);
  std::printf("2. latency master write -> wake, %d rounds: EV_RXCHAR wait median %.1f us p99 %.1f us; "
              "poll median %.1f us p99 %.1f us; median difference %+.1f us (aim <= +50)\n",
              rounds, engLat.median, engLat.p99, rawLat.median, rawLat.p99,
              engLat.median - rawLat.median);

  long wakeups = IdleWakeups(pty, idle);
  std::printf("3. wake-ups of the device's threads over %d s idle with an event wait pending: %ld "
              "(aim 0)\n",
              idle, wakeups);
  return 0;
}
