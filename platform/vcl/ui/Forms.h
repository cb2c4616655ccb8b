// Forms and the visual half of the application object.
//
// A form is a top-level window. A derived form reads its layout in its
// constructor (ReadLayout) and then binds its component fields by name.
// The application's start-up is
//   InitializeApplication(); Application->SetTitle(...); CreateForm(Form1);
//   RunApplication();
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "AppCore.h"
#include "Controls.h"

namespace vcl {

class TButton;

enum TPosition : std::uint8_t {
  poDesigned, poDefault, poDefaultPosOnly, poDefaultSizeOnly, poScreenCenter,
  poDesktopCenter, poMainFormCenter, poOwnerFormCenter
};
extern const TEnumNames PositionNames;
enum TBorderIcon : std::uint8_t { biSystemMenu, biMinimize, biMaximize, biHelp };
using TBorderIcons = TSet<TBorderIcon, std::uint8_t>;
extern const TEnumNames BorderIconNames;

enum TCloseAction : std::uint8_t { caNone, caHide, caFree, caMinimize };
using TCloseEvent = TEvent<TObject*, TCloseAction&>;
using TCloseQueryEvent = TEvent<TObject*, bool&>;

class TForm : public TWinControl {
 public:
  // An empty form owned by `owner` (Application for the windows of the
  // program). It is hidden until Show or ShowModal.
  explicit TForm(TComponent* owner);
  ~TForm() override;
  const TClassInfo* ClassInfo() const override;
  static const TClassInfo* StaticClassInfo();

  // For a form, Left/Top place the window on the screen and Width/Height
  // are its outer size; ClientWidth/ClientHeight the area inside the frame.
  void SetBounds(int left, int top, int width, int height) override;
  int ClientWidth() const override { return clientWidth_; }
  int ClientHeight() const override { return clientHeight_; }
  void SetClientWidth(int width) override;
  void SetClientHeight(int height) override;

  TFormBorderStyle BorderStyle() const { return borderStyle_; }
  void SetBorderStyle(TFormBorderStyle style);
  TBorderIcons BorderIcons() const { return borderIcons_; }
  void SetBorderIcons(TBorderIcons icons);
  TPosition Position() const { return position_; }
  void SetPosition(TPosition position) { position_ = position; }
  // With AutoSize the client area fits the visible controls exactly, once
  // the layout has been read and whenever the form is shown.
  bool AutoSize() const { return autoSize_; }
  void SetAutoSize(bool autoSize);
  int PixelsPerInch() const { return pixelsPerInch_; }
  void SetPixelsPerInch(int ppi) { pixelsPerInch_ = ppi; }
  int TextHeight() const { return textHeight_; }
  void SetTextHeight(int height) { textHeight_ = height; }
  bool KeyPreview() const { return keyPreview_; }
  void SetKeyPreview(bool preview) { keyPreview_ = preview; }
  TWinControl* ActiveControl() const;
  void SetActiveControl(TWinControl* control);

  // Shows the window (placed as Position says on the first showing).
  void Show();
  void Hide();
  // Closes as the close box does: OnCloseQuery, then OnClose with the
  // action; caNone keeps the window, caHide hides it, caFree releases it.
  // Closing the main form with any action but caNone ends the application.
  // A modal form is closed by setting ModalResult to mrCancel instead.
  void Close();
  // Shows the form modally: the rest of the program takes no input until
  // ModalResult is set (by a button's ModalResult or from code) or the form
  // is closed (mrCancel). Returns the modal result. Raises EInvalidOperation
  // for a form already shown.
  TModalResult ShowModal();
  TModalResult ModalResult() const { return modalResult_; }
  void SetModalResult(TModalResult result);
  bool Modal() const { return modal_; }
  // Frees the form once control is back in the event loop; safe to call
  // from the form's own handlers.
  void Release();

  // The form's default button (Default = True), if any.
  TButton* DefaultButton() const;
  TButton* CancelButton() const;

  // Renders the window's client area into a PNG file; false on failure.
  bool SaveScreenshot(const std::string& path);

  TCloseEvent OnClose;
  TCloseQueryEvent OnCloseQuery;
  TNotifyEvent OnCreate;
  TNotifyEvent OnShow;
  TNotifyEvent OnHide;
  TNotifyEvent OnDestroy;

 protected:
  // Reads the layout resource `resourceName` into this form (a read error
  // when it fails; EResNotFound when there is no such resource), then runs
  // OnCreate.
  void ReadLayout(const std::string& resourceName);
  // The owned component `name` as a T; EReadError when it is missing or of
  // another class.
  // The field is cleared when the component goes, so a handler that runs
  // while the form is being torn down finds it gone (nullptr).
  template <class T>
  void BindComponent(T*& field, const char* name) {
    field = dynamic_cast<T*>(FindComponent(name));
    if (!field) MissingComponent(name);
    WatchField(field, [&field] { field = nullptr; });
  }
  void Loaded() override;
  void UpdateWidgetGeometry() override;
  void TextChanged() override;
  void VisibleChanged() override;
  void Notification(TComponent* component, TOperation operation) override;
  // Runs OnDestroy, frees the form's components while the fields bound to
  // them can still be cleared, then does what every component does on its
  // way out.
  // A derived form calls it first in its destructor, so handlers that a
  // component runs on its way out find the form whole.
  void BeforeDestruction();
  // Whether the form may close: runs OnCloseQuery.
  virtual bool CloseQuery();
  // Runs OnClose with `action`.
  virtual void DoClose(TCloseAction& action);

 private:
  friend struct ControlAccess;
  [[noreturn]] void MissingComponent(const char* name) const;
  void WatchField(TComponent* component, std::function<void()> clear);
  void ApplyWindowFlags();
  void ApplyAutoSize();
  void PlaceOnScreen();
  void CloseModal();
  void UpdateTabChain();

  int clientWidth_ = 0;
  int clientHeight_ = 0;
  TFormBorderStyle borderStyle_ = bsSizeable;
  TBorderIcons borderIcons_{biSystemMenu, biMinimize, biMaximize};
  TPosition position_ = poDesigned;
  bool autoSize_ = false;
  int pixelsPerInch_ = 96;
  int textHeight_ = 13;
  bool keyPreview_ = false;
  TWinControl* activeControl_ = nullptr;
  TModalResult modalResult_ = mrNone;
  bool modal_ = false;
  bool placed_ = false;
  bool releasing_ = false;
  bool destroying_ = false;
  std::vector<std::pair<TComponent*, std::function<void()>>> fields_;
};

class EInvalidOperation : public Exception {
  using Exception::Exception;
};

// --- the application ---------------------------------------------------------

// Creates the Qt application (if none exists), makes this thread the
// user-interface thread, creates Application, connects the core's queue of
// user-interface work to Qt's loop, installs the exception box and registers
// the visual classes. Idempotent.
void InitializeApplication();
// The first form created with CreateForm; closing it ends the application.
TForm* MainForm();
void SetMainForm(TForm* form);
// Creates a form of class F owned by Application; the first becomes the
// main form.
template <class F>
void CreateForm(F*& reference) {
  reference = new F(Application);
  if (!MainForm()) SetMainForm(reference);
}
// Shows the main form and runs the event loop until the application is
// terminated (the main form closed); then frees the forms.
void RunApplication();
// Ends the application: Run's loop returns after the current event.
void TerminateApplication();
// Frees Application (and the forms it owns), then the Qt application.
void DoneApplication();
// A handle that stands for the application's window.
HWND ApplicationHandle();

}  // namespace vcl
