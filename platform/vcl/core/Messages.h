// Message windows for the hidden-window delivery mode, with the Win32
// messaging calls the engine makes on them. A window here is a method that
// receives messages on the user-interface thread; there is no visible window.
#pragma once

#include <functional>

#include "win32.h"

namespace vcl {

struct TMessage {
  UINT Msg;
  WPARAM WParam;
  LPARAM LParam;
  LRESULT Result;
};

using TWndMethod = std::function<void(TMessage&)>;

// Creates a window whose messages go to `method`. User-interface thread only.
HWND AllocateHWnd(TWndMethod method);
// Destroys the window; messages still queued for it complete with result 0.
void DeallocateHWnd(HWND window);

}  // namespace vcl

// Sends a message to a window. On the user-interface thread the window's
// method is called directly. From another thread the message is queued for
// the user-interface thread and the caller blocks until the method has
// returned or has called ReplyMessage.
LRESULT SendMessageA(HWND window, UINT msg, WPARAM wParam, LPARAM lParam);
// TRUE while the user-interface thread handles a message sent from another thread.
BOOL InSendMessage();
// Releases the sender of the message being handled, with `result`; TRUE when
// there was a sender waiting.
BOOL ReplyMessage(LRESULT result);
LRESULT DefWindowProcA(HWND window, UINT msg, WPARAM wParam, LPARAM lParam);
