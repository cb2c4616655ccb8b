// What the port tells its links and its events, and in which order, on open,
// close, send, receive and each line event, in all three delivery modes. A
// recording link and recording handlers write one log; each scenario has its
// expected sequence.
#include <gtest/gtest.h>

#include <functional>

#include "EngineTestSupport.h"

namespace {

using namespace enginetest;
using Seq = std::vector<std::string>;

struct Scenario {
  const char* name;
  TComEvents events;  // watched while the scenario runs
  bool linkWantsRxBuf;
  std::function<void(win32::VirtualDevice&, TCustomComPort&)> act;
  Seq expected;
};

class Sequences : public VirtualPortTest, public ::testing::WithParamInterface<TSyncMethod> {
 protected:
  void SetUp() override {
    VirtualPortTest::SetUp();
    port_->SetSyncMethod(GetParam());
  }
  void TearDown() override {
    if (port_ && link_) {
      try {
        port_->ClosePort();
      } catch (...) {
      }
      port_->DetachLink(link_.get());
    }
    VirtualPortTest::TearDown();
  }
  void OpenRecording(bool wantsRxBuf) {
    link_ = MakeRecordingLink(rec_, wantsRxBuf);
    port_->AttachLink(link_.get());
    RecordPortEvents(*port_, rec_);
    port_->OpenPort();
    rec_.Clear();
  }
  // Waits until `n` entries are logged; the comparison decides, not the wait.
  Seq WaitFor(std::size_t n) {
    Pump([&] { return rec_.Size() >= n; });
    return rec_.Entries();
  }
  std::unique_ptr<TComLink> link_;
};

TEST_P(Sequences, OpenAndCloseAnnounceInOrder) {
  device_->SetCTS(true);
  device_->SetRLSD(true);
  link_ = MakeRecordingLink(rec_, false);
  port_->AttachLink(link_.get());
  RecordPortEvents(*port_, rec_);
  port_->OpenPort();
  EXPECT_EQ(rec_.Entries(), (Seq{"BeforeOpen", "link.Conn=1", "AfterOpen", "link.CTS=1", "CTS=1", "link.DSR=0",
                                 "DSR=0", "link.RLSD=1", "RLSD=1"}));
  rec_.Clear();
  port_->ClosePort();
  EXPECT_EQ(rec_.Entries(), (Seq{"link.CTS=0", "link.DSR=0", "link.RLSD=0", "CTS=0", "DSR=0", "RLSD=0",
                                 "BeforeClose", "link.Conn=0", "AfterClose"}));
}

TEST_P(Sequences, SendTellsTheLinksAndTheOutputRunningEmptyEndsIt) {
  OpenRecording(false);
  device_->PauseDrain(true);
  EXPECT_EQ(port_->SendText("AT\r\n"), 4);
  // Before SendText returns: transmit on, then the whole block.
  EXPECT_EQ(rec_.Entries(), (Seq{"link.Tx=1", "link.TxBuf:AT\\r\\n"}));
  device_->PauseDrain(false);
  EXPECT_EQ(device_->WaitWritten(4, kGuard), "AT\r\n");
  EXPECT_EQ(WaitFor(5), (Seq{"link.Tx=1", "link.TxBuf:AT\\r\\n", "link.Tx=0", "link.TxEmpty", "TxEmpty"}));
}

TEST_P(Sequences, EveryLineEventHasItsSequence) {
  const TComEvents all = AllComEvents;
  const Scenario table[] = {
      {"receive by count", all, false, [](auto& d, auto&) { d.Feed("hello"); },
       {"link.Rx=1", "RxChar(5)", "link.Rx=0", "read:hello"}},
      {"receive for a link that wants the bytes", all, true, [](auto& d, auto&) { d.Feed("hello"); },
       {"link.Rx=1", "link.Rx=0", "RxBuf:hello", "link.RxBuf:hello"}},
      {"CTS on", all, false, [](auto& d, auto&) { d.SetCTS(true); }, {"link.CTS=1", "CTS=1"}},
      {"DSR on", all, false, [](auto& d, auto&) { d.SetDSR(true); }, {"link.DSR=1", "DSR=1"}},
      {"RLSD on", all, false, [](auto& d, auto&) { d.SetRLSD(true); }, {"link.RLSD=1", "RLSD=1"}},
      {"ring", all, false, [](auto& d, auto&) { d.Ring(); }, {"link.Ring", "Ring"}},
      {"break", all, false, [](auto& d, auto&) { d.InjectBreak(); }, {"Error[leBreak]", "Break"}},
      {"framing error", all, false, [](auto& d, auto&) { d.InjectError(CE_FRAME, 'x'); },
       {"Error[leFrame]", "link.Rx=1", "RxChar(1)", "link.Rx=0", "read:x"}},
      {"parity error while checked", all, false,
       [](auto& d, auto& p) {
         p.Parity()->SetCheck(true);
         d.InjectError(CE_RXPARITY, 'p');
       },
       {"Error[leRxParity]", "link.Rx=1", "RxChar(1)", "link.Rx=0", "read:p"}},
      {"parity error while not checked", all, false, [](auto& d, auto&) { d.InjectError(CE_RXPARITY, 'p'); },
       {"link.Rx=1", "RxChar(1)", "link.Rx=0", "read:p"}},
      {"event character", all, false,
       [](auto& d, auto& p) {
         p.SetEventChar('\r');
         d.Feed("OK\r");
       },
       {"link.Rx=1", "RxChar(3)", "link.Rx=0", "read:OK\\r", "link.RxFlag", "RxFlag"}},
      // Watched alone: the driver reports it apart from the received bytes.
      {"input queue 80 percent full", TComEvents{evRx80Full}, false,
       [](auto& d, auto&) { d.Feed(std::string(900, 'z')); }, {"Rx80Full"}},
  };
  for (const auto& s : table) {
    SCOPED_TRACE(s.name);
    link_ = MakeRecordingLink(rec_, s.linkWantsRxBuf);
    port_->AttachLink(link_.get());
    RecordPortEvents(*port_, rec_);
    port_->SetEvents(s.events);
    port_->OpenPort();
    rec_.Clear();
    s.act(*device_, *port_);
    EXPECT_EQ(WaitFor(s.expected.size()), s.expected);
    if (s.events.Contains(evRxChar)) {
      EXPECT_EQ(port_->PendingInputCount(), 0);
    }
    port_->ClosePort();

    port_->DetachLink(link_.get());
    link_.reset();
    port_->SetEventChar(0);
    port_->Parity()->SetCheck(false);
    device_->SetCTS(false);
    device_->SetDSR(false);
    device_->SetRLSD(false);
    rec_.Clear();
  }
}

// The handlers run on the thread the mode names.
TEST_P(Sequences, HandlersRunOnTheThreadOfTheMode) {
  std::atomic<int> onMain{-1};
  port_->OnRxChar = TRxCharEvent(
      [&](vcl::TObject*, int n) {
        onMain = vcl::IsMainThread() ? 1 : 0;
        WakeUserInterface();
        std::string t;
        port_->ReceiveText(t, n);
      },
      nullptr);
  port_->OpenPort();
  device_->Feed("x");
  Pump([&] { return onMain.load() != -1; });
  EXPECT_EQ(onMain.load(), GetParam() == smNone ? 0 : 1);
}

// A batch holding several events is handled in the dispatch order, whatever
// order they happened in: the event thread is held in the TxEmpty hand-over
// while the line changes, so the next wait collects them all at once (under
// smWindowSync they arrive as one message each, in that order).
TEST_P(Sequences, ABatchIsHandledInDispatchOrder) {
  OpenRecording(false);
  std::atomic<bool> held{false};
  std::mutex m;
  std::condition_variable cv;
  bool release = false;
  port_->OnTxEmpty = vcl::TNotifyEvent(
      [&](vcl::TObject*) {
        held = true;
        rec_.Add("TxEmpty");
        if (GetParam() == smNone) {
          std::unique_lock<std::mutex> lock(m);
          cv.wait(lock, [&] { return release; });
        }
      },
      nullptr);
  vcl::CheckSynchronize();
  device_->PauseDrain(true);  // the write's own notifications come first
  port_->SendText("a");
  device_->PauseDrain(false);
  if (GetParam() != smNone) {
    // The event thread waits until the user-interface thread takes the batch
    // (smThreadSync) or its first message (smWindowSync): make the line
    // events while that is queued and not yet run.
    ASSERT_TRUE(vcl::WaitForMainThreadWork(kGuard));
  } else {
    ASSERT_TRUE(Pump([&] { return held.load(); }));
  }
  device_->SetRLSD(true);
  device_->Ring();
  device_->Feed("b");
  device_->SetCTS(true);
  {
    std::lock_guard<std::mutex> lock(m);
    release = true;
  }
  cv.notify_all();
  const Seq got = WaitFor(5 + 4 + 2 + 2 + 2);
  EXPECT_EQ(got, (Seq{"link.Tx=1", "link.TxBuf:a", "link.Tx=0", "link.TxEmpty", "TxEmpty", "link.Rx=1", "RxChar(1)",
                      "link.Rx=0", "read:b", "link.Ring", "Ring", "link.CTS=1", "CTS=1", "link.RLSD=1", "RLSD=1"}));
}

INSTANTIATE_TEST_SUITE_P(Modes, Sequences, ::testing::Values(smThreadSync, smWindowSync, smNone),
                         [](const auto& info) {
                           return std::string(info.param == smThreadSync   ? "ThreadSync"
                                              : info.param == smWindowSync ? "WindowSync"
                                                                           : "None");
                         });

// --- links on their own -------------------------------------------------------

class Links : public VirtualPortTest {};

TEST_F(Links, AttachAndDetachKeepOneEntryPerLinkInOrder) {
  auto a = MakeRecordingLink(rec_, false, "a");
  auto b = MakeRecordingLink(rec_, false, "b");
  port_->AttachLink(a.get());
  port_->AttachLink(b.get());
  for (auto* bad : {a.get(), b.get()}) {
    try {
      port_->AttachLink(bad);
      ADD_FAILURE() << "attached twice";
    } catch (const EComPort& e) {
      EXPECT_EQ(e.EngineCode, ecLinkRegistration);
      EXPECT_EQ(e.Message, "Link (un)registration failed");
      EXPECT_EQ(e.SystemErrorCode, -1);
    }
  }
  port_->NotifyLinksSignal(lnCTS, true);
  EXPECT_EQ(rec_.Entries(), (Seq{"a.CTS=1", "b.CTS=1"}));
  port_->DetachLink(a.get());
  port_->AttachLink(a.get());
  rec_.Clear();
  port_->NotifyLinksEvent(lnRing);
  EXPECT_EQ(rec_.Entries(), (Seq{"b.Ring", "a.Ring"}));
  port_->DetachLink(a.get());
  EXPECT_THROW(port_->DetachLink(a.get()), EComPort);
  TComLink stranger;
  EXPECT_THROW(port_->DetachLink(&stranger), EComPort);
  EXPECT_EQ(port_->LinkCount(), 1);
  port_->DetachLink(b.get());
}

TEST_F(Links, EachKindReachesOnlyItsSlot) {
  auto a = MakeRecordingLink(rec_, true, "a");
  TComLink empty;  // nothing assigned: passed over
  port_->AttachLink(&empty);
  port_->AttachLink(a.get());
  const std::pair<TComLinkEvent, const char*> signals[] = {{lnConn, "a.Conn=1"}, {lnCTS, "a.CTS=1"},
                                                           {lnDSR, "a.DSR=1"},   {lnRLSD, "a.RLSD=1"},
                                                           {lnRx, "a.Rx=1"},     {lnTx, "a.Tx=1"}};
  for (auto [kind, entry] : signals) {
    rec_.Clear();
    port_->NotifyLinksSignal(kind, true);
    EXPECT_EQ(rec_.Entries(), Seq{entry});
    rec_.Clear();
    port_->NotifyLinksEvent(kind);
    EXPECT_EQ(rec_.Size(), 0u);
  }
  const std::pair<TComLinkEvent, const char*> events[] = {
      {lnRing, "a.Ring"}, {lnTxEmpty, "a.TxEmpty"}, {lnRxFlag, "a.RxFlag"}};
  for (auto [kind, entry] : events) {
    rec_.Clear();
    port_->NotifyLinksEvent(kind);
    EXPECT_EQ(rec_.Entries(), Seq{entry});
    rec_.Clear();
    port_->NotifyLinksSignal(kind, true);
    EXPECT_EQ(rec_.Size(), 0u);
  }
  port_->DetachLink(a.get());
  port_->DetachLink(&empty);
}

TEST_F(Links, TheRawBytesWishIsNoticedAtAttachAndDetach) {
  EXPECT_FALSE(port_->RxBufLinked());
  TComLink late;
  port_->AttachLink(&late);
  late.OnLinkRxBuf = TRxBufEvent([](vcl::TObject*, const void*, int) {}, nullptr);
  EXPECT_FALSE(port_->RxBufLinked());  // assigned after the attach
  auto wants = MakeRecordingLink(rec_, true);
  port_->AttachLink(wants.get());
  EXPECT_TRUE(port_->RxBufLinked());
  late.OnLinkRxBuf.Clear();
  port_->DetachLink(wants.get());
  EXPECT_FALSE(port_->RxBufLinked());
  port_->DetachLink(&late);
}

// An exception from a link stops the walk: later links and the port's own
// event hear nothing of that occurrence.
TEST_F(Links, AThrowingLinkStopsTheWalk) {
  TComLink thrower;
  thrower.OnLinkConn = TComSignalEvent([](vcl::TObject*, bool) { throw vcl::Exception("link refused"); }, nullptr);
  auto after = MakeRecordingLink(rec_, false);
  port_->AttachLink(&thrower);
  port_->AttachLink(after.get());
  RecordPortEvents(*port_, rec_);
  port_->SetEvents({});
  EXPECT_THROW(port_->OpenPort(), vcl::Exception);
  EXPECT_TRUE(port_->Connected());  // the device is open; the announcement failed
  EXPECT_EQ(rec_.Entries(), Seq{"BeforeOpen"});
  thrower.OnLinkConn.Clear();
  port_->ClosePort();
  port_->DetachLink(&thrower);
  port_->DetachLink(after.get());
}

}  // namespace

namespace {

using namespace enginetest;

class NotifyWindow : public VirtualPortTest {};

// The hidden window's procedure: only PortEventMessage reaches the entry
// points, only with a listed event bit, and only while the port is open.
TEST_F(NotifyWindow, OnlyListedEventsOfAnOpenPortAreHandled) {
  RecordPortEvents(*port_, rec_);
  vcl::TMessage ring{PortEventMessage, EV_RING, 0, 0};
  port_->NotifyWindowProc(ring);
  EXPECT_EQ(rec_.Size(), 0u);  // closed
  port_->SetEvents({});
  port_->OpenPort();
  rec_.Clear();
  vcl::TMessage unlisted{PortEventMessage, EV_PERR, 0, 0};
  port_->NotifyWindowProc(unlisted);
  vcl::TMessage twoBits{PortEventMessage, EV_RING | EV_CTS, 0, 0};
  port_->NotifyWindowProc(twoBits);
  vcl::TMessage other{WM_USER + 7, EV_RING, 0, 42};
  port_->NotifyWindowProc(other);
  EXPECT_EQ(other.Result, 0);
  EXPECT_EQ(rec_.Size(), 0u);
  port_->NotifyWindowProc(ring);
  device_->SetDSR(true);
  vcl::TMessage dsr{PortEventMessage, EV_DSR, 0, 0};
  port_->NotifyWindowProc(dsr);
  EXPECT_EQ(rec_.Entries(), (std::vector<std::string>{"Ring", "DSR=1"}));
}

}  // namespace

namespace {

using namespace enginetest;

class Transfers : public VirtualPortTest {
 protected:
  void SetUp() override {
    VirtualPortTest::SetUp();
    link_ = MakeRecordingLink(rec_, false);
    port_->AttachLink(link_.get());
    port_->SetEvents({});
  }
  void TearDown() override {
    port_->DetachLink(link_.get());
    VirtualPortTest::TearDown();
  }
  std::unique_ptr<TComLink> link_;
};

// A read that leaves bytes waiting tells nobody; the one that empties the
// input queue tells the links. Zero bytes stay in the text.
TEST_F(Transfers, ReadsTellTheLinksOnlyWhenTheQueueRunsEmpty) {
  port_->OpenPort();
  rec_.Clear();
  device_->Feed(std::string("0123\0" "56789", 10));
  std::string text = "old";
  EXPECT_EQ(port_->ReceiveText(text, 4), 4);
  EXPECT_EQ(text, "0123");
  EXPECT_EQ(rec_.Size(), 0u);
  EXPECT_EQ(port_->ReceiveText(text, 10), 6);
  EXPECT_EQ(text, std::string("\0" "56789", 6));
  EXPECT_EQ(rec_.Entries(), std::vector<std::string>{"link.Rx=0"});
  char buffer[8];
  rec_.Clear();
  device_->Feed("ab");
  EXPECT_EQ(port_->ReceiveBuffer(buffer, 8), 2);
  EXPECT_EQ(std::string(buffer, 2), "ab");
  EXPECT_EQ(rec_.Entries(), std::vector<std::string>{"link.Rx=0"});
  rec_.Clear();
  EXPECT_EQ(port_->SendText(""), 0);
  EXPECT_EQ(port_->ReceiveText(text, -1), 0);
  EXPECT_TRUE(text.empty());
  EXPECT_EQ(rec_.Size(), 0u);
  EXPECT_TRUE(CallsOf(*device_, "WriteFile").empty());
}

// A write the driver cuts short at its time-out returns what was written;
// the links still get the whole block that was handed over.
TEST_F(Transfers, AShortWriteReturnsWhatWasWrittenAndLinksGetTheWholeBlock) {
  port_->Buffer()->SetOutputSize(16);
  port_->Timeouts()->SetWriteTotalMultiplier(0);
  port_->Timeouts()->SetWriteTotalConstant(20);
  port_->OpenPort();
  rec_.Clear();
  device_->PauseDrain(true);
  const std::string block(64, 'w');
  const int written = port_->SendText(block);
  EXPECT_LT(written, 64);
  EXPECT_EQ(rec_.Entries(), (std::vector<std::string>{"link.Tx=1", "link.TxBuf:" + block}));
  device_->PauseDrain(false);
  EXPECT_EQ(device_->WaitWritten(static_cast<std::size_t>(written), kGuard).size(), static_cast<std::size_t>(written));
}

}  // namespace
