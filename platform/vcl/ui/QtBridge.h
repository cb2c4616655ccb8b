// The visual runtime's inside: conversions between the runtime's types and
// Qt's, the one guard every call from Qt into a handler goes through, and
// access to the protected hooks of the controls. Only platform/vcl/ui
// includes this header.
#pragma once

#include <QColor>
#include <QFont>
#include <QImage>
#include <QString>
#include <QWidget>
#include <exception>
#include <functional>
#include <string>
#include <vector>

#include "Controls.h"

namespace vcl {

class TCustomComboBox;
class TCheckBox;
class TForm;

inline QString ToQ(const std::string& utf8) {
  return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}
inline std::string FromQ(const QString& s) { return s.toStdString(); }

QColor ToQColor(TColor color);
TColor FromQColor(const QColor& color);
QFont ToQFont(const TFont& font);
// The bitmap as drawn: pixels of its transparent colour see-through when
// it is transparent.
QImage TransparentImage(const TBitmap& bitmap);

// Hands the exception being handled to Application->HandleException (the
// error box). Call inside a catch block only.
void ReportException() noexcept;
// Reports the exception from the event loop later: for exceptions raised
// where a box cannot be shown at once (inside a paint).
void ReportExceptionLater(std::exception_ptr e) noexcept;

// Runs `action` (a call from Qt into a handler); an exception stops there
// and goes to the exception display. Nothing crosses Qt's event loop.
template <class F>
void Guarded(F&& action) noexcept {
  try {
    action();
  } catch (...) {
    ReportException();
  }
}

// Runs `action` on the user-interface thread once control is back in Qt's
// event loop. Dropped when `context` is destroyed first.
void PostToLoop(QObject* context, std::function<void()> action);

// Text with the platform's accelerator marks ("&&" is "&", a single "&"
// marks the next character) as Qt shows it on buttons: the same convention.
// Labels show plain text: the marks are dropped.
QString PlainCaption(const std::string& caption);
// The distance between two lines of text in `font`: 13 pixels for the
// layouts' 11-pixel face, as they were measured with it.
int TextLineStep(const QFont& font);
// CR LF and lone CR as line breaks.
QString LinesText(const std::string& text);

// The protected hooks of the controls, for the widgets that call them.
struct ControlAccess {
  static void Paint(TGraphicControl* control);
  static TCanvas* Canvas(TGraphicControl* control) { return control->canvas_.get(); }
  static bool WantsReturn(TWinControl* control) { return control->WantsReturn(); }
  static void Resize(TControl* control) { control->Resize(); }
  static void UserPick(TCustomComboBox* combo);
  static void UserEdit(TCustomComboBox* combo);
  static void UserToggle(TCheckBox* box, int qtState);
  static void UserClose(TForm* form);
  static void SetParentPointer(TControl* control, TWinControl* parent) { control->parent_ = parent; }
};

// Actions tests queue for the next form shown modally (UiTesting.h).
std::vector<std::function<void(TForm*)>>& PendingModalActions();
// The forms being shown modally, innermost last.
std::vector<TForm*>& ModalForms();
// The exception display's box (or the dialog hook).
void ShowExceptionBox(const std::string& message);

// The form's default-button and cancel-button keys, shared by the form's
// widget: true when the key was taken.
bool HandleDialogKey(TForm* form, int qtKey);

}  // namespace vcl
