#include <atomic>
#include <deque>

#include "AppCore.h"
#include "Classes.h"
#include "MainQueue.h"

namespace vcl {

namespace detail {

namespace {
std::deque<std::shared_ptr<PendingCall>>& Queue() {
  static std::deque<std::shared_ptr<PendingCall>> queue;
  return queue;
}
std::mutex& HookLock() {
  static std::mutex lock;
  return lock;
}
std::function<void()>& WakeHook() {
  static std::function<void()> hook;
  return hook;
}
}  // namespace

std::mutex& MainLock() {
  static std::mutex lock;
  return lock;
}

std::condition_variable& MainCondition() {
  static std::condition_variable condition;
  return condition;
}

void Enqueue(const std::shared_ptr<PendingCall>& call) {
  {
    std::lock_guard<std::mutex> guard(MainLock());
    Queue().push_back(call);
  }
  MainCondition().notify_all();
  std::function<void()> hook;
  {
    std::lock_guard<std::mutex> guard(HookLock());
    hook = WakeHook();
  }
  if (hook) hook();
}

void Complete(const std::shared_ptr<PendingCall>& call) {
  {
    std::lock_guard<std::mutex> guard(MainLock());
    call->done = true;
  }
  MainCondition().notify_all();
}

bool HasWorkLocked() { return !Queue().empty(); }

}  // namespace detail

using detail::MainCondition;
using detail::MainLock;
using detail::PendingCall;

namespace {
// The process's first thread is the user-interface thread unless someone
// says otherwise.
std::atomic<std::thread::id> g_mainThread{std::this_thread::get_id()};
}  // namespace

void SetMainThread() { g_mainThread.store(std::this_thread::get_id()); }

bool IsMainThread() { return g_mainThread.load() == std::this_thread::get_id(); }

void SetWakeMainThreadHook(std::function<void()> hook) {
  std::lock_guard<std::mutex> guard(detail::HookLock());
  detail::WakeHook() = std::move(hook);
}

bool CheckSynchronize() {
  if (!IsMainThread()) return false;
  // Swap the queue out and run the calls outside the lock: a call may queue
  // more work or pump again.
  std::deque<std::shared_ptr<PendingCall>> batch;
  {
    std::lock_guard<std::mutex> guard(MainLock());
    batch.swap(detail::Queue());
  }
  for (auto& call : batch) {
    try {
      call->run();
    } catch (...) {
      call->error = std::current_exception();
    }
    detail::Complete(call);
  }
  return !batch.empty();
}

bool WaitForMainThreadWork(std::chrono::milliseconds timeout) {
  std::unique_lock<std::mutex> lock(MainLock());
  return MainCondition().wait_for(lock, timeout, [] { return detail::HasWorkLocked(); });
}

bool PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    CheckSynchronize();
    if (Application && Application->ProcessMessagesHook) Application->ProcessMessagesHook();
    if (done()) return true;
    const auto now = std::chrono::steady_clock::now();
    if (now >= deadline) return done();
    auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now);
    // With a visual runtime, its own events (timers, repaints) need turns too.
    if (Application && Application->ProcessMessagesHook)
      wait = std::min(wait, std::chrono::milliseconds(5));
    std::unique_lock<std::mutex> lock(MainLock());
    MainCondition().wait_for(lock, wait, [] { return detail::HasWorkLocked(); });
  }
}

// --- TThread ------------------------------------------------------------------

TThread::TThread(bool createSuspended) {
  if (!createSuspended) Start();
}

TThread::~TThread() {
  if (started_ && !joined_) WaitForEnd();
}

void TThread::Start() {
  if (started_) return;
  started_ = true;
  thread_ = std::thread([this] { Run(); });
}

void TThread::Run() {
  try {
    Execute();
  } catch (...) {
    // Stored, not reported: the owner decides what an ended thread means.
    fatal_ = std::current_exception();
  }
  {
    std::lock_guard<std::mutex> guard(MainLock());
    finished_ = true;
  }
  MainCondition().notify_all();
}

void TThread::WaitFor() {
  if (!started_ || joined_) return;
  if (thread_.get_id() == std::this_thread::get_id())
    throw EThread("Thread cannot wait for itself");
  if (IsMainThread()) {
    // Keep serving the thread's Synchronize calls and sent messages while
    // waiting, or a thread in the middle of a hand-over never comes back.
    for (;;) {
      CheckSynchronize();
      std::unique_lock<std::mutex> lock(MainLock());
      MainCondition().wait(lock, [this] { return finished_.load() || detail::HasWorkLocked(); });
      if (finished_) break;
    }
  }
  thread_.join();
  joined_ = true;
}

void TThread::WaitForEnd() {
  Terminate();
  WaitFor();
}

void TThread::Synchronize(const std::function<void()>& method) {
  if (IsMainThread()) {
    method();
    return;
  }
  auto call = std::make_shared<PendingCall>();
  call->run = method;
  detail::Enqueue(call);
  std::exception_ptr error;
  {
    std::unique_lock<std::mutex> lock(MainLock());
    MainCondition().wait(lock, [&] { return call->done; });
    // Take the exception over: from here on only this thread touches it, so
    // its release never races with the user-interface thread dropping the
    // finished call.
    error = std::move(call->error);
  }
  if (error) std::rethrow_exception(error);
}

void TThread::Queue(const std::function<void()>& method) {
  auto call = std::make_shared<PendingCall>();
  call->run = [method] {
    try {
      method();
    } catch (...) {
      EnsureApplication()->HandleException(nullptr);
    }
  };
  if (IsMainThread()) {
    call->run();
    return;
  }
  detail::Enqueue(call);
}

}  // namespace vcl
