// Hand-over between worker threads and the user-interface thread: the
// situations that hang or lose an exception when the runtime gets them wrong.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>

#include "AppCore.h"
#include "Classes.h"
#include "Messages.h"

using namespace vcl;
using namespace std::chrono_literals;

namespace {

// A thread whose body is a lambda.
class LambdaThread : public TThread {
 public:
  explicit LambdaThread(std::function<void()> body) : body_(std::move(body)) {}
  ~LambdaThread() override { WaitForEnd(); }

 protected:
  void Execute() override { body_(); }

 private:
  std::function<void()> body_;
};

// A one-shot flag another thread can wait for, with a guard against a hang.
class Latch {
 public:
  void Open() {
    {
      std::lock_guard<std::mutex> g(lock_);
      open_ = true;
    }
    cv_.notify_all();
  }
  bool Wait(std::chrono::milliseconds guard = 5s) {
    std::unique_lock<std::mutex> l(lock_);
    return cv_.wait_for(l, guard, [&] { return open_; });
  }

 private:
  std::mutex lock_;
  std::condition_variable cv_;
  bool open_ = false;
};

}  // namespace

TEST(Synchronize, RunsInlineOnTheUserInterfaceThread) {
  ASSERT_TRUE(IsMainThread());
  std::thread::id ranOn;
  TThread::Synchronize([&] { ranOn = std::this_thread::get_id(); });
  EXPECT_EQ(ranOn, std::this_thread::get_id());
}

TEST(Synchronize, ThreadBlockedInSynchronizeWhileUserInterfaceWaitsForItsEnd) {
  // The worker hands a call over exactly while the user-interface thread sits
  // in WaitFor: the wait must run the call, or neither side ever returns.
  std::thread::id ranOn;
  Latch entered;
  LambdaThread worker([&] {
    entered.Open();
    TThread::Synchronize([&] { ranOn = std::this_thread::get_id(); });
  });
  worker.Start();
  ASSERT_TRUE(entered.Wait());
  worker.WaitFor();
  EXPECT_EQ(ranOn, std::this_thread::get_id());
  EXPECT_TRUE(worker.Finished());
}

TEST(Synchronize, ExceptionInTheMethodIsRaisedAgainInTheCallingThread) {
  std::string caught;
  LambdaThread worker([&] {
    try {
      TThread::Synchronize([] { throw Exception("handler failed"); });
    } catch (const Exception& e) {
      caught = e.Message;
    }
  });
  worker.Start();
  worker.WaitFor();
  EXPECT_EQ(caught, "handler failed");
}

TEST(TThreadTest, ExceptionLeavingExecuteIsStoredNotReported) {
  TApplication* app = EnsureApplication();
  std::vector<std::string> shown;
  app->ExceptionDisplay = [&](const std::string& m) { shown.push_back(m); };
  LambdaThread worker([] {
    TThread::Synchronize([] { throw Exception("boom"); });
  });
  worker.Start();
  worker.WaitFor();
  app->ExceptionDisplay = nullptr;
  ASSERT_TRUE(worker.FatalException());
  EXPECT_EQ(ExceptionMessage(worker.FatalException()), "boom");
  EXPECT_TRUE(shown.empty());
}

TEST(TThreadTest, SuspendedThreadNeverStartedIsDestroyedWithoutWaiting) {
  bool ran = false;
  { LambdaThread never([&] { ran = true; }); }
  EXPECT_FALSE(ran);
}

TEST(TThreadTest, WaitForTwiceAndDestructorAfterWaitAreHarmless) {
  std::atomic<int> runs{0};
  LambdaThread worker([&] { ++runs; });
  worker.Start();
  worker.WaitFor();
  worker.WaitFor();
  EXPECT_EQ(runs.load(), 1);
}

TEST(SendMessage, SameThreadCallsTheWindowDirectly) {
  BOOL inSend = TRUE;
  HWND w = AllocateHWnd([&](TMessage& m) {
    inSend = InSendMessage();
    m.Result = static_cast<LRESULT>(m.WParam * 2);
  });
  EXPECT_EQ(SendMessageA(w, WM_USER + 1, 21, 0), 42);
  EXPECT_FALSE(inSend);
  EXPECT_FALSE(ReplyMessage(1));
  DeallocateHWnd(w);
}

TEST(SendMessage, FromAnotherThreadWaitsForTheResult) {
  std::thread::id handledOn;
  BOOL inSend = FALSE;
  HWND w = AllocateHWnd([&](TMessage& m) {
    handledOn = std::this_thread::get_id();
    inSend = InSendMessage();
    m.Result = 99;
  });
  LRESULT got = 0;
  LambdaThread worker([&] { got = SendMessageA(w, WM_USER + 1, 0, 0); });
  worker.Start();
  worker.WaitFor();  // serves the sent message while waiting
  DeallocateHWnd(w);
  EXPECT_EQ(got, 99);
  EXPECT_EQ(handledOn, std::this_thread::get_id());
  EXPECT_TRUE(inSend);
}

TEST(SendMessage, ReplyMessageReleasesTheSenderBeforeTheHandlerEnds) {
  Latch senderReturned;
  std::atomic<LRESULT> got{0};
  bool sawSenderReturnInsideHandler = false;
  HWND w = AllocateHWnd([&](TMessage& m) {
    EXPECT_TRUE(ReplyMessage(7));
    EXPECT_FALSE(ReplyMessage(8));  // only the first reply counts
    // Still inside the handler: the sender must already be free.
    sawSenderReturnInsideHandler = senderReturned.Wait();
    m.Result = 1234;  // too late to reach the sender
  });
  LambdaThread worker([&] {
    got = SendMessageA(w, WM_USER + 1, 0, 0);
    senderReturned.Open();
  });
  worker.Start();
  worker.WaitFor();
  DeallocateHWnd(w);
  EXPECT_TRUE(sawSenderReturnInsideHandler);
  EXPECT_EQ(got.load(), 7);
}

TEST(SendMessage, MessageForADestroyedWindowCompletesWithZero) {
  HWND w = AllocateHWnd([](TMessage& m) { m.Result = 5; });
  Latch queued;
  LRESULT got = -1;
  LambdaThread worker([&] {
    queued.Open();
    got = SendMessageA(w, WM_USER + 1, 0, 0);
  });
  worker.Start();
  ASSERT_TRUE(queued.Wait());
  // The message is queued but not handled yet when the window goes.
  ASSERT_TRUE(WaitForMainThreadWork(5s));
  DeallocateHWnd(w);
  worker.WaitFor();
  EXPECT_EQ(got, 0);
}

TEST(PumpUntilTest, RunsQueuedCallsUntilTheConditionHolds) {
  std::atomic<int> calls{0};
  LambdaThread worker([&] {
    for (int i = 0; i < 3; ++i) TThread::Synchronize([&] { ++calls; });
  });
  worker.Start();
  EXPECT_TRUE(PumpUntil([&] { return calls.load() == 3; }, 5s));
  worker.WaitFor();
}

TEST(QueueTest, QueuedCallRunsLaterOnTheUserInterfaceThreadWithoutBlockingTheCaller) {
  std::thread::id ranOn;
  Latch queued;
  LambdaThread worker([&] {
    TThread::Queue([&] { ranOn = std::this_thread::get_id(); });
    queued.Open();
  });
  worker.Start();
  // Not pumping here: a Queue that waited for the call would never return.
  ASSERT_TRUE(queued.Wait());
  EXPECT_EQ(ranOn, std::thread::id());
  EXPECT_TRUE(PumpUntil([&] { return ranOn != std::thread::id(); }, 5s));
  worker.WaitFor();
  EXPECT_EQ(ranOn, std::this_thread::get_id());
}
