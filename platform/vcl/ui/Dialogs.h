// Message boxes: MessageDlg and the box the application's default exception
// display shows. A hook lets tests answer them and see what was shown.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "Controls.h"

namespace vcl {

enum TMsgDlgType : std::uint8_t { mtWarning, mtError, mtInformation, mtConfirmation, mtCustom };
enum TMsgDlgBtn : std::uint8_t {
  mbYes, mbNo, mbOK, mbCancel, mbAbort, mbRetry, mbIgnore, mbAll, mbNoToAll, mbYesToAll, mbHelp
};
using TMsgDlgButtons = TSet<TMsgDlgBtn, std::uint16_t>;

// Shows a modal message box: the caption is the type's ("Warning", "Error",
// "Information", "Confirm"; the application title for mtCustom), with the
// type's icon and the buttons in the platform's order. Returns the modal
// result of the pressed button; closing the box returns mrCancel (or the
// result of the only button).
TModalResult MessageDlg(const std::string& message, TMsgDlgType type, TMsgDlgButtons buttons,
                        long helpContext);
// A box with the application title as caption, the message and OK.
void ShowMessage(const std::string& message);

// The caption MessageDlg uses for `type`.
std::string MessageDlgCaption(TMsgDlgType type);

// What a box showed.
struct TDialogRecord {
  enum class Source { MessageDlg, ShowMessage, Exception };
  Source source = Source::MessageDlg;
  TMsgDlgType type = mtCustom;
  std::string caption;
  std::string text;
  TMsgDlgButtons buttons;
  long helpContext = 0;
};

// When set, no box is shown: the hook gets what would have been shown and
// returns the result of the button it presses. Returns the previous hook.
using TDialogHook = std::function<TModalResult(const TDialogRecord&)>;
TDialogHook SetDialogHook(TDialogHook hook);

}  // namespace vcl
