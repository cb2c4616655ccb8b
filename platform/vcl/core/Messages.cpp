#include "Messages.h"

#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "AppCore.h"
#include "MainQueue.h"

namespace vcl {

namespace {

struct Window {
  TWndMethod method;
};

// Live windows. A message queued for a window that has gone completes with 0.
std::mutex& WindowsLock() {
  static std::mutex lock;
  return lock;
}
std::map<HWND, std::shared_ptr<Window>>& Windows() {
  static std::map<HWND, std::shared_ptr<Window>> windows;
  return windows;
}

std::shared_ptr<Window> FindWindow(HWND handle) {
  std::lock_guard<std::mutex> guard(WindowsLock());
  auto it = Windows().find(handle);
  return it == Windows().end() ? nullptr : it->second;
}

// A message sent from another thread, while the user-interface thread
// handles it.
struct SentMessage {
  LRESULT result = 0;
  bool replied = false;
};

// What the user-interface thread is handling now, innermost last; nullptr
// marks a direct (same-thread) call, for which InSendMessage is FALSE.
thread_local std::vector<SentMessage*> t_handling;

LRESULT Dispatch(HWND handle, UINT msg, WPARAM wParam, LPARAM lParam) {
  std::shared_ptr<Window> window = FindWindow(handle);
  if (!window) return 0;
  TMessage message{msg, wParam, lParam, 0};
  window->method(message);
  return message.Result;
}

}  // namespace

HWND AllocateHWnd(TWndMethod method) {
  auto window = std::make_shared<Window>();
  window->method = std::move(method);
  HWND handle = reinterpret_cast<HWND>(window.get());
  std::lock_guard<std::mutex> guard(WindowsLock());
  Windows()[handle] = std::move(window);
  return handle;
}

void DeallocateHWnd(HWND window) {
  std::shared_ptr<Window> keep;  // destroyed outside the lock
  std::lock_guard<std::mutex> guard(WindowsLock());
  auto it = Windows().find(window);
  if (it == Windows().end()) return;
  keep = std::move(it->second);
  Windows().erase(it);
}

}  // namespace vcl

using namespace vcl;

LRESULT SendMessageA(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (IsMainThread()) {
    t_handling.push_back(nullptr);
    struct Pop {
      ~Pop() { t_handling.pop_back(); }
    } pop;
    return Dispatch(window, msg, wParam, lParam);
  }
  // From another thread: queue for the user-interface thread and block until
  // the window has handled the message or replied early. The queued call owns
  // the record, so a handler still running after ReplyMessage (when this
  // sender has already returned) keeps a valid record.
  auto sent = std::make_shared<SentMessage>();
  auto call = std::make_shared<detail::PendingCall>();
  call->run = [sent, window, msg, wParam, lParam] {
    t_handling.push_back(sent.get());
    struct Pop {
      ~Pop() { t_handling.pop_back(); }
    } pop;
    const LRESULT result = Dispatch(window, msg, wParam, lParam);
    std::lock_guard<std::mutex> guard(detail::MainLock());
    if (!sent->replied) sent->result = result;
  };
  detail::Enqueue(call);
  std::unique_lock<std::mutex> lock(detail::MainLock());
  detail::MainCondition().wait(lock, [&] { return call->done || sent->replied; });
  return sent->result;
}

BOOL InSendMessage() {
  return !t_handling.empty() && t_handling.back() != nullptr ? TRUE : FALSE;
}

BOOL ReplyMessage(LRESULT result) {
  if (t_handling.empty() || t_handling.back() == nullptr) return FALSE;
  SentMessage* sent = t_handling.back();
  {
    std::lock_guard<std::mutex> guard(detail::MainLock());
    if (sent->replied) return FALSE;
    sent->replied = true;
    sent->result = result;
  }
  detail::MainCondition().notify_all();
  return TRUE;
}

LRESULT DefWindowProcA(HWND, UINT, WPARAM, LPARAM) { return 0; }
