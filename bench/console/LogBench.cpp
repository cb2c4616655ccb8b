// The log at scale: the time to append one 64-byte batch of modem traffic
// to the window's log when the log already holds 1, 10 or 50 MB, with the
// log shown in a real (offscreen) window and the view repainted.
//
//   QT_QPA_PLATFORM=offscreen build/bench/console/bench_console
//
// BM_AppendBatch is what the window does for each received batch.
// BM_WriteBackWholeText reads the whole text, adds the batch and writes it
// back: the memo notices that only a tail was added and shows only that,
// but the copy and the comparison of the whole text remain.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "Forms.h"
#include "StdCtrls.h"
#include "UiTesting.h"

namespace {

// A day's worth of traffic in lines of 64 bytes: answers, unsolicited
// reports, signal readings.
std::string Traffic(std::size_t bytes) {
  static const char* const kLines[] = {"+CSQ: 21,0", "OK", "+CREG: 1,\"1A2B\",\"00C3D4\"", "RING",
                                       "+CLIP: \"+70000000000\",145", "NO CARRIER"};
  std::string out;
  out.reserve(bytes + 64);
  for (std::size_t i = 0; out.size() < bytes; ++i) {
    std::string line = kLines[i % 6];
    line.resize(62, ' ');
    out += line + "\r\n";
  }
  out.resize(bytes);
  return out;
}

const std::string& Batch() {
  static const std::string batch = Traffic(64);
  return batch;
}

struct Window {
  explicit Window(std::size_t logBytes) {
    vcl::InitializeApplication();
    form = std::make_unique<vcl::TForm>(nullptr);
    form->SetClientWidth(697);
    form->SetClientHeight(401);
    memo = new vcl::TMemo(form.get());
    memo->SetParent(form.get());
    memo->SetBounds(0, 0, 505, 297);
    memo->SetReadOnly(true);
    memo->SetScrollBars(vcl::ssBoth);
    form->Show();
    const std::string chunk = Traffic(1 << 20);
    for (std::size_t filled = 0; filled < logBytes; filled += chunk.size()) memo->AppendText(chunk);
    vcl::testing::ProcessPending();
  }
  std::unique_ptr<vcl::TForm> form;
  vcl::TMemo* memo = nullptr;
};

void BM_AppendBatch(benchmark::State& state) {
  Window window(static_cast<std::size_t>(state.range(0)) << 20);
  for (auto _ : state) {
    window.memo->AppendText(Batch());
    window.memo->Repaint();
  }
  state.counters["log_MB"] = static_cast<double>(window.memo->TextLength()) / (1 << 20);
}

void BM_WriteBackWholeText(benchmark::State& state) {
  Window window(static_cast<std::size_t>(state.range(0)) << 20);
  for (auto _ : state) {
    window.memo->SetText(window.memo->Text() + Batch());
    window.memo->Repaint();
  }
  state.counters["log_MB"] = static_cast<double>(window.memo->TextLength()) / (1 << 20);
}

BENCHMARK(BM_AppendBatch)->Arg(1)->Arg(10)->Arg(50)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_WriteBackWholeText)->Arg(1)->Arg(10)->Arg(50)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  vcl::DoneApplication();
  return 0;
}
