// Receive throughput of the engine against a raw poll()+read() loop on the
// same pseudo-terminal, in the same run. A writer thread pushes the same
// number of bytes into the master in 4 KiB blocks for both readers.
//
//   engine: OnRxChar under smThreadSync reads each announced count with
//           ReceiveText on the user-interface thread (this one);
//   raw:    poll() on the slave, then read() of up to 4 KiB.
//
// Prints bytes per second of both, their ratio, and the cost of one receive
// batch (event wake, hand-over, count, read) in microseconds.
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "CPort.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr std::size_t kBlock = 4096;

// What the reader has taken so far; a paced writer waits on it.
struct Progress {
  std::mutex mutex;
  std::condition_variable changed;
  std::size_t consumed = 0;
  void Add(std::size_t n) {
    {
      std::lock_guard<std::mutex> lock(mutex);
      consumed += n;
    }
    changed.notify_all();
  }
};

// Writes `total` bytes into the master in blocks of kBlock. Paced: each
// block waits until the reader has taken the one before, so every receive
// batch is one block.
std::thread StartWriter(int master, std::size_t total, Progress* paced) {
  return std::thread([master, total, paced] {
    std::vector<char> block(kBlock);
    for (std::size_t i = 0; i < kBlock; ++i) block[i] = static_cast<char>('A' + i % 26);
    std::size_t sent = 0;
    while (sent < total) {
      if (paced) {
        std::unique_lock<std::mutex> lock(paced->mutex);
        paced->changed.wait(lock, [&] { return paced->consumed >= sent; });
      }
      const std::size_t n = std::min(kBlock, total - sent);
      std::size_t done = 0;
      while (done < n) {
        const ssize_t w = ::write(master, block.data() + done, n - done);
        if (w <= 0) return;
        done += static_cast<std::size_t>(w);
      }
      sent += n;
    }
  });
}

struct Figures {
  double bytesPerSecond;
  double microsPerBatch;
  double bytesPerBatch;
};

Figures Make(std::size_t got, double seconds, long batches) {
  batches = std::max(1L, batches);
  return {static_cast<double>(got) / seconds, seconds * 1e6 / static_cast<double>(batches),
          static_cast<double>(got) / static_cast<double>(batches)};
}

Figures RawRun(int master, int slave, std::size_t total, bool paced) {
  std::vector<char> buffer(kBlock);
  Progress progress;
  const auto start = Clock::now();
  std::thread writer = StartWriter(master, total, paced ? &progress : nullptr);
  std::size_t got = 0;
  long batches = 0;
  while (got < total) {
    pollfd p{slave, POLLIN, 0};
    if (::poll(&p, 1, -1) <= 0) break;
    const ssize_t n = ::read(slave, buffer.data(), buffer.size());
    if (n <= 0) break;
    got += static_cast<std::size_t>(n);
    ++batches;
    progress.Add(static_cast<std::size_t>(n));
  }
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  writer.join();
  return Make(got, seconds, batches);
}

Figures EngineRun(int master, const std::string& path, std::size_t total, bool paced) {
  TComPort port(nullptr);
  port.SetPort(path);
  port.SetBaudRate(br115200);
  port.Buffer()->SetInputSize(65536);
  port.SetEvents({evRxChar});
  std::size_t got = 0;
  long batches = 0;
  std::string text;
  Progress progress;
  port.OnRxChar = TRxCharEvent(
      [&](vcl::TObject*, int count) {
        const int n = port.ReceiveText(text, count);
        got += static_cast<std::size_t>(n);
        ++batches;
        progress.Add(static_cast<std::size_t>(n));
      },
      nullptr);
  port.OpenPort();
  const auto start = Clock::now();
  std::thread writer = StartWriter(master, total, paced ? &progress : nullptr);
  vcl::PumpUntil([&] { return got >= total; }, std::chrono::minutes(2));
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  writer.join();
  port.ClosePort();
  return Make(got, seconds, batches);
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

// Alternates the two readers, five rounds each; prints the medians.
void Compare(const char* title, int master, int slave, const std::string& path, std::size_t total,
             bool paced) {
  std::vector<double> raw, engine, ratio, rawBatch, engineBatch, engineBytes;
  for (int round = 0; round < 5; ++round) {
    const Figures r = RawRun(master, slave, total, paced);
    const Figures e = EngineRun(master, path, total, paced);
    raw.push_back(r.bytesPerSecond);
    engine.push_back(e.bytesPerSecond);
    ratio.push_back(e.bytesPerSecond / r.bytesPerSecond);
    rawBatch.push_back(r.microsPerBatch);
    engineBatch.push_back(e.microsPerBatch);
    engineBytes.push_back(e.bytesPerBatch);
  }
  std::printf("%s\n", title);
  std::printf("  raw poll()+read():           %8.1f MB/s, %7.1f us per read\n", Median(raw) / 1e6,
              Median(rawBatch));
  std::printf("  engine OnRxChar+ReceiveText: %8.1f MB/s, %7.1f us per receive batch of %.0f bytes\n",
              Median(engine) / 1e6, Median(engineBatch), Median(engineBytes));
  std::printf("  ratio engine/raw (median of 5 paired runs): %.2f\n", Median(ratio));
}

}  // namespace

int main(int argc, char** argv) {
  vcl::SetMainThread();
  vcl::EnsureApplication();
  const std::size_t mib = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 64;
  const std::size_t total = mib << 20;

  const int master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) {
    std::perror("pseudo-terminal");
    return 1;
  }
  char name[128];
  if (ptsname_r(master, name, sizeof name) != 0) return 1;
  const std::string path = name;
  // The raw reader's descriptor stays open for the whole run, so the master
  // never sees a hang-up between the two runs.
  const int slave = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  termios t{};
  tcgetattr(slave, &t);
  cfmakeraw(&t);
  tcsetattr(slave, TCSANOW, &t);

  std::printf("pseudo-terminal %s, writer blocks of %zu bytes, smThreadSync\n", name, kBlock);
  Compare("free-running writer (batches coalesce in the driver queue):", master, slave, path, total, false);
  Compare("paced writer (each batch one 4 KiB block):", master, slave, path, total / 8, true);
  ::close(slave);
  ::close(master);
  return 0;
}
