// Event objects and the waits on them.
//
// All event state lives under one process-wide mutex. A waiting thread
// registers its own condition variable on every event it waits for; SetEvent
// wakes exactly the threads registered on that event. A signal can never be
// missed: the state is checked and the waiter registered under the same
// mutex that SetEvent takes. Nothing polls.
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <vector>

#include "Kernel.h"

namespace win32 {
namespace {

// Never destroyed, for the same reason as the handle table.
std::mutex& SyncMutex() {
  static auto* mutex = new std::mutex;
  return *mutex;
}

struct Waiter {
  std::condition_variable cv;
};

BOOL CloseEvent(KernelObject& self);
const ObjectOps kEventOps{"event", &CloseEvent};

// Fields are guarded by SyncMutex().
class Event : public KernelObject {
 public:
  static constexpr ObjectType kType = ObjectType::Event;
  Event(bool manualReset, bool initial)
      : KernelObject(kType, &kEventOps), manual(manualReset), signaled(initial) {}

  const bool manual;
  bool signaled;
  bool closed = false;
  std::vector<Waiter*> waiters;
};

BOOL CloseEvent(KernelObject& self) {
  auto& event = static_cast<Event&>(self);
  std::lock_guard lock(SyncMutex());
  event.closed = true;
  // A thread still waiting on it fails its wait (WAIT_FAILED, 6) instead of
  // waiting for a signal that can no longer come. Windows leaves this case
  // undefined; failing is the safe choice.
  for (Waiter* w : event.waiters) w->cv.notify_one();
  return TRUE;
}

void Unregister(std::vector<std::shared_ptr<Event>>& events, Waiter* w) {
  for (auto& e : events) {
    auto it = std::find(e->waiters.begin(), e->waiters.end(), w);
    if (it != e->waiters.end()) e->waiters.erase(it);
  }
}

}  // namespace
}  // namespace win32

using namespace win32;

// Any thread. The name and security attributes are accepted and unused:
// events are never shared by name between processes here.
HANDLE CreateEventA(LPSECURITY_ATTRIBUTES, BOOL manualReset, BOOL initialState,
                    LPCSTR) {
  return InsertHandle(
      std::make_shared<Event>(manualReset != FALSE, initialState != FALSE));
}

// Last errors: ERROR_INVALID_HANDLE.
BOOL SetEvent(HANDLE handle) {
  auto event = Lookup<Event>(handle);
  if (!event) return FALSE;
  std::lock_guard lock(SyncMutex());
  event->signaled = true;
  for (Waiter* w : event->waiters) w->cv.notify_one();
  return TRUE;
}

// Last errors: ERROR_INVALID_HANDLE.
BOOL ResetEvent(HANDLE handle) {
  auto event = Lookup<Event>(handle);
  if (!event) return FALSE;
  std::lock_guard lock(SyncMutex());
  event->signaled = false;
  return TRUE;
}

// Waits for any (lowest signalled index wins) or all of the events. An
// auto-reset event is consumed only by the wait that returns it.
// Last errors on WAIT_FAILED: ERROR_INVALID_PARAMETER (count 0 or above 64,
// no array), ERROR_INVALID_HANDLE (a handle that is not an open event, or an
// event closed during the wait).
DWORD WaitForMultipleObjects(DWORD count, const HANDLE* handles, BOOL waitAll,
                             DWORD milliseconds) {
  if (count == 0 || count > MAXIMUM_WAIT_OBJECTS || handles == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return WAIT_FAILED;
  }
  std::vector<std::shared_ptr<Event>> events;
  events.reserve(count);
  for (DWORD i = 0; i < count; ++i) {
    auto event = Lookup<Event>(handles[i]);
    if (!event) return WAIT_FAILED;  // last error set by Lookup
    events.push_back(std::move(event));
  }
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + std::chrono::milliseconds(milliseconds);

  Waiter waiter;
  bool registered = false;
  bool timedOut = false;
  std::unique_lock lock(SyncMutex());
  for (;;) {
    DWORD result = WAIT_TIMEOUT;
    bool closed = false;
    for (auto& e : events) closed = closed || e->closed;
    if (closed) {
      SetLastError(ERROR_INVALID_HANDLE);
      result = WAIT_FAILED;
    } else if (waitAll == FALSE) {
      for (DWORD i = 0; i < count; ++i) {
        if (events[i]->signaled) {
          if (!events[i]->manual) events[i]->signaled = false;
          result = WAIT_OBJECT_0 + i;
          break;
        }
      }
    } else if (std::all_of(events.begin(), events.end(),
                           [](auto& e) { return e->signaled; })) {
      for (auto& e : events)
        if (!e->manual) e->signaled = false;
      result = WAIT_OBJECT_0;
    }
    if (result != WAIT_TIMEOUT || milliseconds == 0 || timedOut) {
      if (registered) Unregister(events, &waiter);
      return result;
    }
    if (!registered) {
      for (auto& e : events) e->waiters.push_back(&waiter);
      registered = true;
    }
    if (milliseconds == INFINITE) {
      waiter.cv.wait(lock);
    } else if (waiter.cv.wait_until(lock, deadline) == std::cv_status::timeout) {
      timedOut = true;  // one last look at the states, then WAIT_TIMEOUT
    }
  }
}

DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds) {
  return WaitForMultipleObjects(1, &handle, FALSE, milliseconds);
}
