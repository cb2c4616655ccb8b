// Stopping and failing: ClosePort while the event thread is inside a
// dispatch, exceptions from handlers, a device that goes away while open,
// and a port destroyed while a handler refuses the close.
#include <gtest/gtest.h>

#include <algorithm>

#include "EngineTestSupport.h"

namespace {

using namespace enginetest;

class Lifecycle : public VirtualPortTest, public ::testing::WithParamInterface<TSyncMethod> {
 protected:
  void SetUp() override {
    VirtualPortTest::SetUp();
    port_->SetSyncMethod(GetParam());
  }
};

// The event thread has handed a batch over (or, under smNone, its handler
// waits for the user-interface thread) when ClosePort starts: the close's
// wait services the hand-over, the handler runs and the close returns. The
// line change is read live, so the handler's report does not depend on what
// the thread's exit steps empty.
TEST_P(Lifecycle, ClosePortWhileTheThreadIsInsideADispatchReturns) {
  RecordPortEvents(*port_, rec_);
  if (GetParam() == smNone) {
    port_->OnCTSChange = TComSignalEvent(
        [this](vcl::TObject*, bool on) {
          vcl::TThread::Synchronize([&] { rec_.Add(std::string("ui:CTS=") + (on ? "1" : "0")); });
        },
        nullptr);
  }
  port_->OpenPort();
  rec_.Clear();
  vcl::CheckSynchronize();  // nothing stale may pass for the hand-over below
  device_->SetCTS(true);
  ASSERT_TRUE(vcl::WaitForMainThreadWork(kGuard));
  EXPECT_EQ(rec_.Size(), 0u);  // nothing ran yet: the hand-over waits
  port_->ClosePort();
  EXPECT_FALSE(port_->Connected());
  EXPECT_FALSE(port_->HasEventThread());
  const auto log = rec_.Entries();
  const std::string delivered = GetParam() == smNone ? "ui:CTS=1" : "CTS=1";
  const auto at = std::find(log.begin(), log.end(), delivered);
  ASSERT_NE(at, log.end()) << testing::PrintToString(log);
  EXPECT_LT(at - log.begin(), std::find(log.begin(), log.end(), "AfterClose") - log.begin());
  EXPECT_EQ(log.back(), "AfterClose");
}

// A handler that closes the port from inside its own dispatch: the thread
// cannot be waited for there (it waits for the handler, or it is the
// handler's thread). The close completes, the driver still gets the exit
// steps before the device closes, and the port opens and delivers again.
TEST_P(Lifecycle, AHandlerThatClosesThePortCompletesTheClose) {
  RecordPortEvents(*port_, rec_);
  port_->OnRxChar = TRxCharEvent(
      [this](vcl::TObject*, int n) {
        std::string t;
        port_->ReceiveText(t, n);
        rec_.Add("read:" + t);
        if (t == "x") port_->ClosePort();
      },
      nullptr);
  port_->OpenPort();
  rec_.Clear();
  device_->Feed("x");
  ASSERT_TRUE(Pump([&] { return rec_.Contains("AfterClose"); }));
  EXPECT_EQ(rec_.Entries(), (std::vector<std::string>{"read:x", "CTS=0", "DSR=0", "RLSD=0", "BeforeClose",
                                                      "AfterClose"}));
  std::vector<std::string> tail;
  for (const auto& c : device_->Calls())
    if (c.function == "SetCommMask" || c.function == "PurgeComm" || c.function == "CloseHandle")
      tail.push_back(c.function + "(" + std::to_string(c.arg1) + ")");
  EXPECT_EQ(tail, (std::vector<std::string>{"SetCommMask(1535)", "PurgeComm(3)", "SetCommMask(0)", "PurgeComm(12)",
                                            "CloseHandle(0)"}));
  rec_.Clear();
  port_->OpenPort();
  EXPECT_TRUE(port_->HasEventThread());
  device_->Feed("y");
  ASSERT_TRUE(Pump([&] { return rec_.Contains("read:y"); }));
  port_->ClosePort();
  EXPECT_FALSE(device_->IsOpen());
}

// An exception from a handler is shown to the user once; the other events
// of the batch are still handled and the thread goes on delivering.
TEST_P(Lifecycle, AHandlersExceptionIsShownAndDeliveryGoesOn) {
  ShownErrors shown;
  RecordPortEvents(*port_, rec_);
  port_->OnError = TComErrorEvent(
      [this](vcl::TObject*, TComErrors) {
        rec_.Add("Error");
        throw vcl::Exception("handler failed");
      },
      nullptr);
  port_->OpenPort();
  rec_.Clear();
  device_->InjectBreak();  // one batch: the error, then the break
  ASSERT_TRUE(Pump([&] { return rec_.Contains("Break") && shown.Count() > 0; }));
  EXPECT_EQ(shown.Messages(), std::vector<std::string>{"handler failed."});
  device_->Feed("y");
  ASSERT_TRUE(Pump([&] { return rec_.Contains("read:y"); }));
  EXPECT_FALSE(port_->EventThread()->Finished());
  EXPECT_EQ(rec_.Entries(),
            (std::vector<std::string>{"Error", "Break", "RxChar(1)", "read:y"}));
  EXPECT_EQ(shown.Count(), 1u);
}

// The device disappears while open: the thread ends without spinning, the
// port closes itself on the user-interface thread as ClosePort closes it,
// and the user is told exactly once, also when a handler's read and the
// close's cancel fail on the missing device too. Once the device is back,
// the port opens again.
TEST_P(Lifecycle, AnUnpluggedDeviceClosesThePortWithOneMessage) {
  enum Way { kIdle, kReadingHandler, kClosedByHand };
  for (Way way : {kIdle, kReadingHandler, kClosedByHand}) {
    SCOPED_TRACE(way == kIdle ? "idle" : way == kReadingHandler ? "reading handler" : "closed by hand");
    ShownErrors shown;
    RecordPortEvents(*port_, rec_);
    auto link = MakeRecordingLink(rec_, false);
    port_->AttachLink(link.get());
    if (way == kReadingHandler) {
      // The device goes while the handler reads what was announced.
      port_->OnRxChar = TRxCharEvent(
          [this](vcl::TObject*, int count) {
            device_->Unplug();
            std::string text;
            port_->ReceiveText(text, count);
          },
          nullptr);
    }
    port_->OpenPort();
    rec_.Clear();
    std::vector<std::string> expected{"WaitForEvent method failed (win error code: 1167)"};
    if (way == kReadingHandler) {
      device_->Feed("x");
      expected = {"ReadFile function failed (win error code: 1167)"};
    } else {
      device_->Unplug();
    }
    if (way == kClosedByHand) {
      // Closed before the thread's notice is handled: the close reports the
      // loss, and the notice finds the port closed.
      try {
        port_->ClosePort();
        ADD_FAILURE() << "the cancel cannot succeed on a missing device";
      } catch (const EComPort& e) {
        EXPECT_EQ(e.EngineCode, ecPurgeFailed);
        EXPECT_EQ(e.SystemErrorCode, 1167);
      }
      vcl::CheckSynchronize();
      expected.clear();
    } else {
      ASSERT_TRUE(Pump([&] { return !port_->Connected() && shown.Count() > 0; }));
      vcl::CheckSynchronize();
      const auto entries = rec_.Entries();
      for (const char* heard : {"link.CTS=0", "link.DSR=0", "link.RLSD=0", "BeforeClose", "link.Conn=0"})
        EXPECT_NE(std::find(entries.begin(), entries.end(), heard), entries.end()) << heard;
      EXPECT_EQ(entries.back(), "AfterClose");
    }
    EXPECT_FALSE(port_->Connected());
    EXPECT_EQ(port_->DeviceHandle(), INVALID_HANDLE_VALUE);
    EXPECT_LE(CallsOf(*device_, "WaitCommEvent").size(), 3u) << "no spinning";
    EXPECT_NO_THROW(port_->ClosePort());

    // The device is back (plugged in again under its name): it opens.
    port_->DetachLink(link.get());
    device_ = win32::VirtualDevice::Register(name_);
    EXPECT_NO_THROW(port_->OpenPort());
    EXPECT_TRUE(port_->Connected());
    port_->ClosePort();
    EXPECT_EQ(shown.Messages(), expected) << "one message, and none for the close";
  }
}

INSTANTIATE_TEST_SUITE_P(Modes, Lifecycle, ::testing::Values(smThreadSync, smWindowSync, smNone),
                         [](const auto& info) {
                           return std::string(info.param == smThreadSync   ? "ThreadSync"
                                              : info.param == smWindowSync ? "WindowSync"
                                                                           : "None");
                         });

class Teardown : public VirtualPortTest {};

// A port destroyed while a handler refuses the close still lets go of its
// thread and device; the refusal is shown.
TEST_F(Teardown, DestroyingAnOpenPortWhoseCloseIsRefusedReleasesEverything) {
  ShownErrors shown;
  port_->OnBeforeClose = vcl::TNotifyEvent([](vcl::TObject*) { throw vcl::Exception("not now"); }, nullptr);
  port_->OpenPort();
  EXPECT_THROW(port_->ClosePort(), vcl::Exception);
  EXPECT_TRUE(port_->Connected());
  port_.reset();
  EXPECT_FALSE(device_->IsOpen());
  EXPECT_EQ(shown.Messages(), std::vector<std::string>{"not now."});
}

// The owner frees the port; a bound control hears the removal while the
// link list still exists and detaches its link.
TEST_F(Teardown, ABoundControlDetachesDuringTheRemovalNotice) {
  struct Control : vcl::TComponent {
    explicit Control(TCustomComPort* p) : vcl::TComponent(nullptr), port(p) {
      port->FreeNotification(this);
      port->AttachLink(&link);
    }
    void Notification(vcl::TComponent* c, vcl::TOperation op) override {
      vcl::TComponent::Notification(c, op);
      if (c == port && op == vcl::TOperation::opRemove) {
        port->DetachLink(&link);
        port = nullptr;
        detached = true;
      }
    }
    TCustomComPort* port;
    TComLink link;
    bool detached = false;
  };
  auto owner = std::make_unique<vcl::TComponent>(nullptr);
  auto* port = new TComPort(owner.get());
  port->SetPort(name_);
  Control control(port);
  port->OpenPort();
  owner.reset();
  EXPECT_TRUE(control.detached);
  EXPECT_FALSE(device_->IsOpen());
}

}  // namespace
