// End to end on pseudo-terminals: real tty I/O through the engine, a peer
// that echoes, zero bytes, DiscardNull, a peer that hangs up, and many
// open/send/receive/close cycles that must leave nothing behind.
#include <gtest/gtest.h>

#include "EngineTestSupport.h"

namespace win32 {
// Open handles in the table; provided by the Win32 layer for leak checks.
std::size_t OpenHandleCount() __attribute__((weak));
}  // namespace win32

namespace {

using namespace enginetest;

// A port on the pty's slave that collects what OnRxChar reads.
class PtyPort : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(pty_.SlavePath().empty());
    port_.SetPort(pty_.SlavePath());
    port_.SetBaudRate(br115200);
    port_.OnRxChar = TRxCharEvent(
        [this](vcl::TObject*, int count) {
          std::string text;
          port_.ReceiveText(text, count);
          received_ += text;
        },
        nullptr);
  }
  void TearDown() override {
    try {
      port_.ClosePort();
    } catch (...) {
    }
  }
  std::string Exchange(const std::string& out, std::size_t expect) {
    received_.clear();
    EXPECT_EQ(port_.SendText(out), static_cast<int>(out.size()));
    vcl::PumpUntil([&] { return received_.size() >= expect; }, kGuard);
    return received_;
  }
  PseudoTerminal pty_;
  TComPort port_{nullptr};
  std::string received_;  // user-interface thread only
};

TEST_F(PtyPort, TextGoesOutAndComesBackWithZeroBytesKeptOrDiscarded) {
  EchoPeer peer(pty_.Master());
  port_.OpenPort();
  EXPECT_EQ(Exchange("AT\r\n", 4), "AT\r\n");
  const std::string withZero("A\0B", 3);
  const std::string got = Exchange(withZero, 3);
  EXPECT_EQ(got.size(), 3u);
  EXPECT_EQ(got, withZero);
  port_.SetDiscardNull(true);
  EXPECT_EQ(Exchange(withZero + "C", 3), "ABC");
  port_.ClosePort();
}

// The far side closes while the port is open: the user is shown an error or
// the thread stops cleanly; the port closes either way and nothing hangs.
TEST_F(PtyPort, APeerThatHangsUpEndsInAnErrorOrACleanStop) {
  ShownErrors shown;
  port_.OpenPort();
  pty_.CloseMaster();
  ASSERT_TRUE(vcl::PumpUntil([&] { return shown.Count() > 0 || port_.EventThread()->Finished(); }, kGuard));
  for (const auto& m : shown.Messages()) EXPECT_EQ(m.rfind("WaitForEvent method failed", 0), 0u) << m;
  try {
    port_.ClosePort();
  } catch (const EComPort& e) {
    EXPECT_EQ(e.EngineCode, ecPurgeFailed);
  }
  EXPECT_FALSE(port_.Connected());
}

// Handles still open among the values from `first` to `last`. The Win32
// layer never gives a value out twice and counts upwards, so every handle
// made between two fresh events lies between their values; a closed one
// answers ERROR_INVALID_HANDLE.
std::size_t LiveHandlesBetween(HANDLE first, HANDLE last) {
  std::size_t live = 0;
  const auto from = reinterpret_cast<std::uintptr_t>(first) + 1;
  const auto to = reinterpret_cast<std::uintptr_t>(last);
  for (std::uintptr_t v = from; v < to; ++v) {
    SetLastError(ERROR_SUCCESS);
    if (WaitForSingleObject(reinterpret_cast<HANDLE>(v), 0) != WAIT_FAILED ||
        GetLastError() != ERROR_INVALID_HANDLE)
      ++live;
  }
  return live;
}

TEST_F(PtyPort, AThousandCyclesLeaveNoHandleBehind) {
  EchoPeer peer(pty_.Master());
  const std::size_t before = win32::OpenHandleCount ? win32::OpenHandleCount() : 0;
  const HANDLE first = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  for (int i = 0; i < 1000; ++i) {
    port_.OpenPort();
    ASSERT_EQ(Exchange("ping\r\n", 6), "ping\r\n") << "cycle " << i;
    port_.ClosePort();
  }
  const HANDLE last = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  ASSERT_GT(reinterpret_cast<std::uintptr_t>(last), reinterpret_cast<std::uintptr_t>(first) + 1000);
  EXPECT_EQ(LiveHandlesBetween(first, last), 0u);
  CloseHandle(first);
  CloseHandle(last);
  if (win32::OpenHandleCount) {
    EXPECT_EQ(win32::OpenHandleCount(), before);
  }
}

}  // namespace
