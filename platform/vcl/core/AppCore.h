// The application core: which thread is the user-interface thread, the
// queue of work handed to it (synchronised calls and sent messages), the
// exception display and the title. The visual runtime connects the queue's
// wake-up to Qt's event loop and replaces the display with a message box.
#pragma once

#include <chrono>
#include <exception>
#include <functional>
#include <string>

#include "Classes.h"

namespace vcl {

// The thread that created the application core (or the last one that called
// SetMainThread) is the user-interface thread.
void SetMainThread();
bool IsMainThread();

// Runs all queued synchronised calls and sent messages; returns whether any
// ran. User-interface thread only; does nothing elsewhere.
bool CheckSynchronize();

// Runs the queued work (CheckSynchronize) until `done` returns true or the
// timeout passes, blocking between deliveries instead of spinning; returns
// done(). User-interface thread only. For tests and tools without Qt; the
// visual runtime also runs Qt's events while waiting.
bool PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout);

// Blocks the user-interface thread until work is queued for it or the
// timeout passes; returns whether work is waiting.
bool WaitForMainThreadWork(std::chrono::milliseconds timeout);

// Called (from any thread) after work has been queued for the user-interface
// thread. The visual runtime sets it to post a wake-up into Qt's loop.
void SetWakeMainThreadHook(std::function<void()> hook);

// The message of an exception: Exception::Message, std::exception::what, or
// "Unknown exception".
std::string ExceptionMessage(const std::exception_ptr& e);

class TApplication : public TComponent {
 public:
  explicit TApplication(TComponent* owner);
  ~TApplication() override;

  const std::string& Title() const { return title_; }
  void SetTitle(const std::string& title) { title_ = title; }

  // Reports the exception being handled (call inside a catch block) through
  // the exception display. EAbort-like silent exceptions do not exist here.
  void HandleException(TObject* sender);
  void ShowException(const std::exception_ptr& e);
  // The display: by default writes the message to standard error. The visual
  // runtime shows a message box captioned with the title.
  std::function<void(const std::string& message)> ExceptionDisplay;

  // Runs the user-interface thread's pending work: the core queue, and the
  // visual runtime's events through ProcessMessagesHook.
  void ProcessMessages();
  std::function<void()> ProcessMessagesHook;

  bool Terminated() const { return terminated_; }
  void Terminate() { terminated_ = true; }

 private:
  std::string title_;
  bool terminated_ = false;
};

// The one application object; created on first use on the user-interface
// thread, or by the visual runtime's start-up.
extern TApplication* Application;
TApplication* EnsureApplication();

}  // namespace vcl
