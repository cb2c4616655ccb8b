#include "Forms.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QPalette>
#include <QPointer>
#include <QScreen>
#include <QStyleFactory>
#include <algorithm>

#include "QtBridge.h"
#include "StdCtrls.h"

namespace vcl {

const TEnumNames PositionNames = {"poDesigned",    "poDefault",        "poDefaultPosOnly",
                                  "poDefaultSizeOnly", "poScreenCenter", "poDesktopCenter",
                                  "poMainFormCenter",  "poOwnerFormCenter"};
const TEnumNames BorderIconNames = {"biSystemMenu", "biMinimize", "biMaximize", "biHelp"};

namespace {

TForm* gMainForm = nullptr;

// Layout properties kept for compatibility that change nothing here.
TPropInfo IgnoredProp(const char* name) {
  return {name, [](TObject*, const TFormValue&, TReader&) {}, nullptr};
}

class FormWidget : public QWidget {
 public:
  explicit FormWidget(TForm* owner) : owner_(owner) {}
  void Forget() { owner_ = nullptr; }

 protected:
  void closeEvent(QCloseEvent* e) override {
    // The form decides (OnCloseQuery, OnClose); Qt never closes it itself.
    e->ignore();
    if (owner_) ControlAccess::UserClose(owner_);
  }
  void keyPressEvent(QKeyEvent* e) override {
    if (owner_ && HandleDialogKey(owner_, e->key())) {
      e->accept();
      return;
    }
    QWidget::keyPressEvent(e);
  }

 private:
  TForm* owner_;
};

QWidget* MakeFormWidget(TForm* owner) {
  InitializeApplication();
  return new FormWidget(owner);
}

// The frame's share of the outer size, known once the window is shown.
QSize FrameExtra(const QWidget* w) {
  if (!w->isVisible()) return {0, 0};
  return w->frameGeometry().size() - w->geometry().size();
}

void CollectTabChain(const TWinControl* parent, std::vector<QWidget*>& chain) {
  for (TWinControl* child : parent->TabList()) {
    QWidget* w = child->Widget();
    if (w->focusPolicy() & Qt::TabFocus) chain.push_back(w);
    CollectTabChain(child, chain);
  }
}

TButton* FindButton(const TWinControl* parent, bool wantDefault) {
  for (int i = 0; i < parent->ControlCount(); ++i) {
    TControl* c = parent->Controls(i);
    if (auto* b = dynamic_cast<TButton*>(c); b && (wantDefault ? b->Default() : b->Cancel())) return b;
    if (auto* w = dynamic_cast<TWinControl*>(c))
      if (TButton* found = FindButton(w, wantDefault)) return found;
  }
  return nullptr;
}

}  // namespace

void ControlAccess::UserClose(TForm* form) { Guarded([form] { form->Close(); }); }

bool HandleDialogKey(TForm* form, int qtKey) {
  if (qtKey == Qt::Key_Return || qtKey == Qt::Key_Enter) {
    TControl* focused = TControl::FromWidget(form->Widget()->focusWidget());
    // A focused button takes Enter itself.
    if (auto* button = dynamic_cast<TButton*>(focused)) {
      if (button->Enabled()) Guarded([button] { button->Click(); });
      return true;
    }
    if (auto* control = dynamic_cast<TWinControl*>(focused); control && ControlAccess::WantsReturn(control))
      return false;
    TButton* button = form->DefaultButton();
    if (button && button->Showing() && button->Enabled()) {
      Guarded([button] { button->Click(); });
      return true;
    }
    return false;
  }
  if (qtKey == Qt::Key_Escape) {
    TButton* button = form->CancelButton();
    if (button && button->Showing() && button->Enabled()) {
      Guarded([button] { button->Click(); });
      return true;
    }
  }
  return false;
}

// --- TForm ----------------------------------------------------------------------

const TClassInfo* TForm::StaticClassInfo() {
  static const TClassInfo info = [] {
    TClassInfo i("TForm", TWinControl::StaticClassInfo(),
                 [](TComponent* owner) -> TComponent* { return new TForm(owner); });
    i.Add(IntProp("ClientWidth", &TForm::SetClientWidth));
    i.Add(IntProp("ClientHeight", &TForm::SetClientHeight));
    i.Add(EnumProp("BorderStyle", &TForm::SetBorderStyle, BorderStyleNames));
    i.Add(SetProp<TForm, TBorderIcons, TBorderIcon>("BorderIcons", &TForm::SetBorderIcons, BorderIconNames));
    i.Add(EnumProp("Position", &TForm::SetPosition, PositionNames));
    i.Add(BoolProp("AutoSize", &TForm::SetAutoSize));
    i.Add(IntProp("PixelsPerInch", &TForm::SetPixelsPerInch));
    i.Add(IntProp("TextHeight", &TForm::SetTextHeight));
    i.Add(BoolProp("KeyPreview", &TForm::SetKeyPreview));
    i.Add(RefProp("ActiveControl", &TForm::SetActiveControl));
    i.Add(IgnoredProp("OldCreateOrder"));
    i.Add(IgnoredProp("Scaled"));
    i.Add(EventProp("OnClose", &TForm::OnClose));
    i.Add(EventProp("OnCloseQuery", &TForm::OnCloseQuery));
    i.Add(EventProp("OnCreate", &TForm::OnCreate));
    i.Add(EventProp("OnShow", &TForm::OnShow));
    i.Add(EventProp("OnHide", &TForm::OnHide));
    i.Add(EventProp("OnDestroy", &TForm::OnDestroy));
    return i;
  }();
  return &info;
}

const TClassInfo* TForm::ClassInfo() const { return StaticClassInfo(); }

TForm::TForm(TComponent* owner) : TWinControl(owner, MakeFormWidget(this)) {
  SetVisible(false);
  SetTabStop(false);
  SetColor(clBtnFace);
  ApplyWindowFlags();
  SetBounds(0, 0, 320, 240);
}

TForm::~TForm() {
  // The components go while the form and its window are whole.
  BeforeDestruction();
  if (gMainForm == this) gMainForm = nullptr;
  auto& modal = ModalForms();
  modal.erase(std::remove(modal.begin(), modal.end(), this), modal.end());
  static_cast<FormWidget*>(Widget())->Forget();
  DisconnectWidget();
}

void TForm::MissingComponent(const char* name) const {
  throw EReadError(std::string("Component ") + name + " is missing from the layout of " + ClassName());
}

void TForm::BeforeDestruction() {
  if (!destroying_) {
    destroying_ = true;
    if (OnDestroy.Assigned()) Guarded([this] { OnDestroy(this); });
  }
  DestroyComponents();
  TWinControl::BeforeDestruction();
}

void TForm::WatchField(TComponent* component, std::function<void()> clear) {
  component->FreeNotification(this);
  fields_.emplace_back(component, std::move(clear));
}

void TForm::Notification(TComponent* component, TOperation operation) {
  TWinControl::Notification(component, operation);
  if (operation != TOperation::opRemove) return;
  for (auto it = fields_.begin(); it != fields_.end();) {
    if (it->first == component) {
      it->second();
      it = fields_.erase(it);
    } else {
      ++it;
    }
  }
}

void TForm::ReadLayout(const std::string& resourceName) {
  RegisterVisualClasses();
  ReadComponentRes(resourceName, this);
  if (OnCreate.Assigned()) OnCreate(this);
}

void TForm::Loaded() {
  TWinControl::Loaded();
  ApplyAutoSize();
}

void TForm::SetBounds(int left, int top, int width, int height) {
  const QSize extra = FrameExtra(Widget());
  const bool resized = width != width_ || height != height_;
  left_ = left;
  top_ = top;
  width_ = std::max(width, 0);
  height_ = std::max(height, 0);
  clientWidth_ = std::max(width_ - extra.width(), 0);
  clientHeight_ = std::max(height_ - extra.height(), 0);
  UpdateWidgetGeometry();
  if (resized) Resize();
}

void TForm::SetClientWidth(int width) {
  const QSize extra = FrameExtra(Widget());
  clientWidth_ = std::max(width, 0);
  width_ = clientWidth_ + extra.width();
  UpdateWidgetGeometry();
}

void TForm::SetClientHeight(int height) {
  const QSize extra = FrameExtra(Widget());
  clientHeight_ = std::max(height, 0);
  height_ = clientHeight_ + extra.height();
  UpdateWidgetGeometry();
}

void TForm::UpdateWidgetGeometry() {
  QWidget* w = Widget();
  const bool fixed = borderStyle_ != bsSizeable && borderStyle_ != bsSizeToolWin;
  if (fixed) {
    w->setFixedSize(clientWidth_, clientHeight_);
  } else {
    w->setMinimumSize(0, 0);
    w->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    w->resize(clientWidth_, clientHeight_);
  }
  w->move(left_, top_);
}

void TForm::TextChanged() { Widget()->setWindowTitle(ToQ(Text())); }

void TForm::SetBorderStyle(TFormBorderStyle style) {
  borderStyle_ = style;
  ApplyWindowFlags();
  UpdateWidgetGeometry();
}

void TForm::SetBorderIcons(TBorderIcons icons) {
  borderIcons_ = icons;
  ApplyWindowFlags();
}

void TForm::ApplyWindowFlags() {
  Qt::WindowFlags flags = Qt::CustomizeWindowHint | Qt::WindowTitleHint;
  switch (borderStyle_) {
    case bsNone:
      flags = Qt::Window | Qt::FramelessWindowHint;
      break;
    case bsDialog:
      flags |= Qt::Dialog | Qt::WindowCloseButtonHint;
      break;
    case bsToolWindow:
    case bsSizeToolWin:
      // A narrow caption with only the close box; it keeps its task-bar
      // button, as the main window needs.
      flags |= Qt::Window | Qt::WindowCloseButtonHint;
      break;
    default:
      flags |= Qt::Window;
      if (borderIcons_.Contains(biSystemMenu)) flags |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
      if (borderIcons_.Contains(biMinimize)) flags |= Qt::WindowMinimizeButtonHint;
      if (borderIcons_.Contains(biMaximize) && borderStyle_ == bsSizeable) flags |= Qt::WindowMaximizeButtonHint;
      break;
  }
  QWidget* w = Widget();
  const bool shown = w->isVisible();
  w->setWindowFlags(flags);
  if (shown) w->show();
}

void TForm::SetAutoSize(bool autoSize) {
  autoSize_ = autoSize;
  if (!HasState(csLoading)) ApplyAutoSize();
}

void TForm::ApplyAutoSize() {
  if (!autoSize_) return;
  int right = 0, bottom = 0;
  bool any = false;
  for (int i = 0; i < ControlCount(); ++i) {
    TControl* c = Controls(i);
    if (!c->Visible()) continue;
    right = std::max(right, c->Left() + c->Width());
    bottom = std::max(bottom, c->Top() + c->Height());
    any = true;
  }
  if (!any) return;
  SetClientWidth(right);
  SetClientHeight(bottom);
}

TWinControl* TForm::ActiveControl() const {
  if (Widget()->isVisible())
    if (auto* focused = dynamic_cast<TWinControl*>(FromWidget(Widget()->focusWidget())); focused && focused != this)
      return focused;
  return activeControl_;
}

void TForm::SetActiveControl(TWinControl* control) {
  activeControl_ = control;
  if (control && Widget()->isVisible() && control->CanFocus()) control->SetFocus();
}

void TForm::PlaceOnScreen() {
  QWidget* w = Widget();
  QScreen* screen = w->screen() ? w->screen() : QGuiApplication::primaryScreen();
  QRect area = screen ? screen->availableGeometry() : QRect(0, 0, 800, 600);
  switch (position_) {
    case poMainFormCenter:
    case poOwnerFormCenter:
      if (gMainForm && gMainForm != this && gMainForm->Widget()->isVisible())
        area = gMainForm->Widget()->frameGeometry();
      [[fallthrough]];
    case poScreenCenter:
    case poDesktopCenter:
      left_ = area.left() + (area.width() - width_) / 2;
      top_ = area.top() + (area.height() - height_) / 2;
      UpdateWidgetGeometry();
      break;
    default:
      break;
  }
}

void TForm::UpdateTabChain() {
  std::vector<QWidget*> chain;
  CollectTabChain(this, chain);
  for (std::size_t i = 1; i < chain.size(); ++i) QWidget::setTabOrder(chain[i - 1], chain[i]);
}

void TForm::VisibleChanged() {
  QWidget* w = Widget();
  if (Visible()) {
    ApplyAutoSize();
    if (!placed_) {
      PlaceOnScreen();
      placed_ = true;
    }
    UpdateTabChain();
    w->show();
    if (QGuiApplication::platformName() != QLatin1String("offscreen")) w->raise();
    w->activateWindow();
    TWinControl* first = activeControl_;
    if (!first || !first->CanFocus()) {
      std::vector<QWidget*> chain;
      CollectTabChain(this, chain);
      first = nullptr;
      for (QWidget* candidate : chain)
        if (candidate->isVisible() && candidate->isEnabled()) {
          first = dynamic_cast<TWinControl*>(FromWidget(candidate));
          break;
        }
    }
    if (first && !w->focusWidget()) first->Widget()->setFocus(Qt::ActiveWindowFocusReason);
    if (OnShow.Assigned()) OnShow(this);
  } else {
    w->hide();
    if (OnHide.Assigned()) OnHide(this);
  }
}

void TForm::Show() { SetVisible(true); }

void TForm::Hide() { SetVisible(false); }

bool TForm::CloseQuery() {
  bool canClose = true;
  if (OnCloseQuery.Assigned()) OnCloseQuery(this, canClose);
  return canClose;
}

void TForm::DoClose(TCloseAction& action) {
  if (OnClose.Assigned()) OnClose(this, action);
}

void TForm::Close() {
  if (modal_) {
    SetModalResult(mrCancel);
    return;
  }
  if (!CloseQuery()) return;
  TCloseAction action = caHide;
  DoClose(action);
  if (action == caNone) return;
  // Closing the main window ends the program whatever else was asked.
  if (this == gMainForm) {
    TerminateApplication();
    return;
  }
  switch (action) {
    case caHide:
      Hide();
      break;
    case caMinimize:
      Widget()->showMinimized();
      break;
    default:
      Release();
      break;
  }
}

void TForm::SetModalResult(TModalResult result) { modalResult_ = result; }

void TForm::CloseModal() {
  try {
    TCloseAction action = caNone;
    if (CloseQuery()) {
      action = caHide;
      DoClose(action);
    }
    if (action == caNone) modalResult_ = mrNone;
    if (action == caFree) Release();
  } catch (...) {
    modalResult_ = mrNone;
    ReportException();
  }
}

TModalResult TForm::ShowModal() {
  if (Visible() || modal_ || !Enabled()) throw EInvalidOperation("Cannot make a visible window modal");
  QWidget* w = Widget();
  modal_ = true;
  modalResult_ = mrNone;
  ModalForms().push_back(this);
  w->setWindowModality(Qt::ApplicationModal);
  struct Restore {
    TForm* form;
    ~Restore() {
      auto& modal = ModalForms();
      modal.erase(std::remove(modal.begin(), modal.end(), form), modal.end());
      form->modal_ = false;
      form->Widget()->setWindowModality(Qt::NonModal);
    }
  } restore{this};
  Show();
  auto& pending = PendingModalActions();
  if (!pending.empty()) {
    auto action = std::move(pending.front());
    pending.erase(pending.begin());
    PostToLoop(w, [this, action = std::move(action)] { action(this); });
  }
  // The platform's modal loop: messages until a modal result is set and
  // the form agrees to close.
  do {
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    if (Application && Application->Terminated())
      modalResult_ = mrCancel;
    else if (modalResult_ != mrNone)
      CloseModal();
  } while (modalResult_ == mrNone);
  Hide();
  return modalResult_;
}

void TForm::Release() {
  if (releasing_) return;
  releasing_ = true;
  QPointer<QWidget> window = Widget();
  QMetaObject::invokeMethod(
      qApp,
      [this, window] {
        if (window) delete this;
      },
      Qt::QueuedConnection);
}

TButton* TForm::DefaultButton() const { return FindButton(this, true); }
TButton* TForm::CancelButton() const { return FindButton(this, false); }

bool TForm::SaveScreenshot(const std::string& path) {
  QCoreApplication::processEvents();
  return Widget()->grab().save(ToQ(path));
}

// --- the application -------------------------------------------------------------

std::vector<std::function<void(TForm*)>>& PendingModalActions() {
  static std::vector<std::function<void(TForm*)>> actions;
  return actions;
}

std::vector<TForm*>& ModalForms() {
  static std::vector<TForm*> forms;
  return forms;
}

void InitializeApplication() {
  static bool qtReady = false;
  if (!qtReady) {
    qtReady = true;
    static int argc = 1;
    static char name[] = "talven-console";
    static char* argv[] = {name, nullptr};
    if (!QCoreApplication::instance()) new QApplication(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    if (QStyle* style = QStyleFactory::create("Fusion")) QApplication::setStyle(style);
    // The classic desktop's colours, so windows look as their layouts say.
    QPalette palette = QApplication::palette();
    palette.setColor(QPalette::Window, ToQColor(clBtnFace));
    palette.setColor(QPalette::Button, ToQColor(clBtnFace));
    palette.setColor(QPalette::Base, ToQColor(clWindow));
    palette.setColor(QPalette::WindowText, ToQColor(clWindowText));
    palette.setColor(QPalette::Text, ToQColor(clWindowText));
    palette.setColor(QPalette::ButtonText, ToQColor(clBtnText));
    palette.setColor(QPalette::Highlight, ToQColor(clHighlight));
    palette.setColor(QPalette::HighlightedText, ToQColor(clHighlightText));
    palette.setColor(QPalette::ToolTipBase, ToQColor(clInfoBk));
    palette.setColor(QPalette::ToolTipText, ToQColor(clInfoText));
    QApplication::setPalette(palette);
    SetMainThread();
    // Work queued for this thread by other threads (Synchronize, sent
    // messages) runs from Qt's loop.
    SetWakeMainThreadHook([] {
      if (QCoreApplication* app = QCoreApplication::instance())
        QMetaObject::invokeMethod(app, [] { Guarded([] { CheckSynchronize(); }); }, Qt::QueuedConnection);
    });
    // OnExit of the control that loses the focus, then OnEnter of the one
    // that gets it.
    QObject::connect(qApp, &QApplication::focusChanged, qApp, [](QWidget* old, QWidget* now) {
      auto* left = dynamic_cast<TWinControl*>(TControl::FromWidget(old));
      auto* entered = dynamic_cast<TWinControl*>(TControl::FromWidget(now));
      if (left == entered) return;
      if (left && left->OnExit.Assigned()) Guarded([left] { left->OnExit(left); });
      if (entered && entered->OnEnter.Assigned()) Guarded([entered] { entered->OnEnter(entered); });
    });
    RegisterVisualClasses();
  }
  // A new application object (after the last one was freed) gets the
  // visual runtime's loop and box as well.
  EnsureApplication();
  if (!Application->ExceptionDisplay) {
    Application->ProcessMessagesHook = [] { QCoreApplication::processEvents(QEventLoop::AllEvents); };
    Application->ExceptionDisplay = [](const std::string& message) { ShowExceptionBox(message); };
  }
}

TForm* MainForm() { return gMainForm; }
void SetMainForm(TForm* form) { gMainForm = form; }

void RunApplication() {
  InitializeApplication();
  if (gMainForm) gMainForm->Show();
  while (!Application->Terminated()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  // The forms go with the application, as at the platform's exit.
  Application->DestroyComponents();
  QCoreApplication::processEvents();
}

void TerminateApplication() {
  if (Application) Application->Terminate();
  // Wakes the loop if it is waiting.
  if (QCoreApplication* app = QCoreApplication::instance())
    QMetaObject::invokeMethod(app, [] {}, Qt::QueuedConnection);
}

void DoneApplication() {
  if (Application) {
    Application->DestroyComponents();
    delete Application;
  }
  SetWakeMainThreadHook(nullptr);
  delete QCoreApplication::instance();
}

HWND ApplicationHandle() {
  static char token;
  return reinterpret_cast<HWND>(&token);
}

}  // namespace vcl
