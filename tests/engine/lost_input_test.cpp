// Input that is lost is reported: bytes dropped because the input queue is
// full, and overruns the driver's counters show, reach OnError before the
// bytes that made it are handled.
#include <gtest/gtest.h>

#include <atomic>

#include "EngineTestSupport.h"
#include "TtyIoctl.h"

namespace {

using namespace enginetest;

class LostInput : public VirtualPortTest {
 protected:
  void SetUp() override {
    VirtualPortTest::SetUp();
    port_->Buffer()->SetInputSize(1024);
    RecordPortEvents(*port_, rec_);
  }
  std::vector<std::string> ErrorsAndReads() const {
    std::vector<std::string> out;
    for (const std::string& e : rec_.Entries())
      if (e.rfind("Error", 0) == 0 || e.rfind("RxChar", 0) == 0) out.push_back(e);
    return out;
  }
};

// More than the queue holds arrives at once: the rest is lost.
TEST_F(LostInput, AFullQueueIsReportedBeforeTheBytesThatFit) {
  port_->OpenPort();
  rec_.Clear();
  device_->Feed(std::string(1500, 'a'));
  ASSERT_TRUE(Pump([&] { return rec_.Contains("RxChar(1024)"); }));
  EXPECT_EQ(ErrorsAndReads(), (std::vector<std::string>{"Error[leRxOver]", "RxChar(1024)"}));
}

// The queue overflows while a handler is still busy with the previous batch
// and reads the queue (which clears the latched errors): the overflow is
// still reported with the next batch.
TEST_F(LostInput, AnOverflowDuringAStalledHandlerIsReportedWithTheNextBatch) {
  bool stalled = false;
  port_->OnRxChar = TRxCharEvent(
      [this, &stalled](vcl::TObject*, int count) {
        rec_.Add("RxChar(" + std::to_string(count) + ")");
        if (!stalled) {
          stalled = true;
          device_->Feed(std::string(1500, 'b'));  // arrives while the handler works
        }
        std::string text;
        port_->ReceiveText(text, count);
      },
      nullptr);
  port_->OpenPort();
  rec_.Clear();
  device_->Feed("first");
  ASSERT_TRUE(Pump([&] { return rec_.Contains("Error[leRxOver]"); }));
  ASSERT_TRUE(Pump([&] { return ErrorsAndReads().size() >= 3; }));
  EXPECT_EQ(ErrorsAndReads(),
            (std::vector<std::string>{"RxChar(5)", "Error[leRxOver]", "RxChar(1019)"}));
}

// A pseudo-terminal keeps no error counters, so the kernel's overrun count
// is stood in for; it moves when the next bytes are read.
std::atomic<int> g_overruns{0};
int CountsWithOverruns(int, win32::TtyCounts& counts) {
  counts = {};
  counts.overrun = g_overruns.load();
  return 0;
}

TEST(LostInputOnATty, AnOverrunTheDriverCountsReachesOnError) {
  PseudoTerminal pty;
  win32::SetTtyCountsSource(&CountsWithOverruns);
  Recorder rec;
  TComPort port(nullptr);
  port.SetPort(pty.SlavePath());
  RecordPortEvents(port, rec);
  port.OpenPort();
  g_overruns = 3;
  ASSERT_EQ(::write(pty.Master(), "OK\r\n", 4), 4);
  EXPECT_TRUE(vcl::PumpUntil([&] { return rec.Contains("read:OK\\r\\n"); }, kGuard));
  port.ClosePort();
  win32::SetTtyCountsSource(nullptr);
  std::vector<std::string> seen;
  for (const std::string& e : rec.Entries())
    if (e.rfind("Error", 0) == 0 || e.rfind("RxChar", 0) == 0) seen.push_back(e);
  EXPECT_EQ(seen, (std::vector<std::string>{"Error[leOverrun]", "RxChar(4)"}));
}

}  // namespace
