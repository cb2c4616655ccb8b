// The queue of work handed to the user-interface thread: synchronised calls
// and messages sent from other threads. Internal to the runtime core.
#pragma once

#include <condition_variable>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>

namespace vcl::detail {

// One piece of work. The caller that queued it blocks until `done`.
struct PendingCall {
  std::function<void()> run;  // runs on the user-interface thread
  bool done = false;          // guarded by MainLock()
  std::exception_ptr error;   // raised again in the caller (Synchronize)
};

// The one lock and condition of the hand-over. The condition is notified
// whenever work is queued, a call completes or a thread ends, so every
// blocked party re-checks its own predicate; nothing spins.
std::mutex& MainLock();
std::condition_variable& MainCondition();

// Queues `call` and wakes the user-interface thread. Any thread.
void Enqueue(const std::shared_ptr<PendingCall>& call);
// Marks a call done and wakes its caller. Takes MainLock itself.
void Complete(const std::shared_ptr<PendingCall>& call);
// Whether work is queued. Caller holds MainLock.
bool HasWorkLocked();

}  // namespace vcl::detail
