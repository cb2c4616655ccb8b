// Driving real windows from tests: user input synthesised as Qt events on
// the controls' widgets, waits that run the event loop, and views of what
// is on the screen. For tests only; no Qt in this header.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include "Controls.h"
#include "Forms.h"
#include "StdCtrls.h"

namespace vcl::testing {

enum class Key { Return, Enter, Escape, Tab, Space, Down, Up };

// Presses and releases the left mouse button at the centre of `control`,
// as a user's click. Returns false when the control is not showing.
bool ClickControl(TControl* control);
// Gives `control` the focus and presses `key` in it (the key goes through
// the widget, its parents and the form as real key presses do).
void PressKey(TWinControl* control, Key key);
// Gives `control` the focus and types `text` (UTF-8) into it.
void TypeText(TWinControl* control, const std::string& text);
// Closes the form as the window's close box does.
void CloseByUser(TForm* form);
// The tool tip that hovering over `control` shows (empty when none).
std::string HoverHint(TControl* control);
// Picks item `index` of a combo box as the user does (list opened, item
// activated).
void PickComboItem(TCustomComboBox* combo, int index);

// Runs Qt's events and the core's user-interface queue until `done` is true
// or `timeout` passes; blocks between events, never spins. Returns done().
bool WaitUntil(const std::function<bool()>& done,
               std::chrono::milliseconds timeout = std::chrono::seconds(5));
// Runs what is pending now (events, deferred deletes, queued work).
void ProcessPending();

// An image of the control as it is drawn now (the widget rendered).
std::unique_ptr<TBitmap> Grab(TControl* control);

// The vertical scroll position of a memo's view and its maximum.
int VerticalScroll(TMemo* memo);
int VerticalScrollMaximum(TMemo* memo);
void SetVerticalScroll(TMemo* memo, int value);
// The caret position in a memo's view, in characters.
int CaretPosition(TMemo* memo);
void SetCaretPosition(TMemo* memo, int position);
// How many characters of a memo's view are selected.
int SelectionLength(TMemo* memo);

// The form shown modally now (the innermost), or nullptr.
TForm* ActiveModalForm();
// Runs `action` with the next form shown modally, from inside its modal
// loop once it is showing: the way a test answers a modal window.
void WhenModal(std::function<void(TForm*)> action);

}  // namespace vcl::testing
