#include "Controls.h"

#include <QApplication>
#include <QMouseEvent>
#include <QFontMetrics>
#include <QPainter>
#include <QVariant>
#include <algorithm>
#include <cstdio>

#include "AppCore.h"
#include "Buttons.h"
#include "ExtCtrls.h"
#include "Forms.h"
#include "QtBridge.h"
#include "StdCtrls.h"

namespace vcl {

const TEnumNames AlignNames = {"alNone", "alTop", "alBottom", "alLeft", "alRight", "alClient"};
const TEnumNames AnchorNames = {"akLeft", "akTop", "akRight", "akBottom"};
const TEnumNames AlignmentNames = {"taLeftJustify", "taRightJustify", "taCenter"};
const TEnumNames BevelCutNames = {"bvNone", "bvLowered", "bvRaised", "bvSpace"};
const TEnumNames BorderStyleNames = {"bsNone",   "bsSingle",     "bsSizeable",
                                     "bsDialog", "bsToolWindow", "bsSizeToolWin"};

namespace {
constexpr const char* kControlProperty = "vclControl";
}  // namespace

// --- the guard ------------------------------------------------------------------

void ReportException() noexcept {
  try {
    if (Application) {
      Application->HandleException(nullptr);
      return;
    }
    std::fprintf(stderr, "%s\n", ExceptionMessage(std::current_exception()).c_str());
  } catch (...) {
    // The display itself failed: nothing more can be shown.
    std::fprintf(stderr, "exception while reporting an exception\n");
  }
}

void ReportExceptionLater(std::exception_ptr e) noexcept {
  try {
    PostToLoop(qApp, [e] {
      try {
        if (Application) Application->ShowException(e);
      } catch (...) {
        std::fprintf(stderr, "exception while reporting an exception\n");
      }
    });
  } catch (...) {
    std::fprintf(stderr, "exception while reporting an exception\n");
  }
}

void PostToLoop(QObject* context, std::function<void()> action) {
  if (!context) return;
  QMetaObject::invokeMethod(
      context, [action = std::move(action)] { Guarded(action); }, Qt::QueuedConnection);
}

QString PlainCaption(const std::string& caption) {
  QString out;
  const QString s = ToQ(caption);
  for (qsizetype i = 0; i < s.size(); ++i) {
    if (s[i] == '&') {
      if (i + 1 < s.size() && s[i + 1] == '&') {
        out += '&';
        ++i;
      }
      continue;
    }
    out += s[i];
  }
  return out;
}

int TextLineStep(const QFont& font) {
  const int pixels = font.pixelSize() > 0 ? font.pixelSize() : QFontMetrics(font).height() * 11 / 13;
  return (pixels * 13 + 5) / 11;
}

QString LinesText(const std::string& text) {
  QString s = ToQ(text);
  s.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  s.replace(QChar('\r'), QChar('\n'));
  return s;
}

// --- the widget of a graphic control ------------------------------------------

namespace {

class PaintWidget : public QWidget {
 public:
  explicit PaintWidget(TGraphicControl* owner) : owner_(owner) { setFocusPolicy(Qt::NoFocus); }
  void Forget() { owner_ = nullptr; }

 protected:
  void paintEvent(QPaintEvent*) override {
    if (!owner_) return;
    QPainter painter(this);
    TCanvas* canvas = ControlAccess::Canvas(owner_);
    canvas->AttachPainter(&painter);
    // A box cannot be shown while painting: the error is shown afterwards.
    try {
      ControlAccess::Paint(owner_);
    } catch (...) {
      ReportExceptionLater(std::current_exception());
    }
    canvas->AttachPainter(nullptr);
  }
  void mousePressEvent(QMouseEvent* e) override {
    pressed_ = e->button() == Qt::LeftButton;
    e->accept();
  }
  void mouseDoubleClickEvent(QMouseEvent* e) override {
    e->accept();
    if (owner_ && owner_->Enabled() && owner_->OnDblClick.Assigned()) {
      TGraphicControl* owner = owner_;
      Guarded([owner] { owner->OnDblClick(owner); });
    }
  }
  void mouseReleaseEvent(QMouseEvent* e) override {
    const bool click = pressed_ && e->button() == Qt::LeftButton && rect().contains(e->position().toPoint());
    pressed_ = false;
    e->accept();
    if (click && owner_ && owner_->Enabled()) {
      TGraphicControl* owner = owner_;
      Guarded([owner] { owner->Click(); });
    }
  }

 private:
  TGraphicControl* owner_;
  bool pressed_ = false;
};

}  // namespace

void ControlAccess::Paint(TGraphicControl* control) { control->Paint(); }

// --- TControl -------------------------------------------------------------------

const TClassInfo* TControl::StaticClassInfo() {
  static const TClassInfo info = [] {
    TClassInfo i("TControl", TComponent::StaticClassInfo());
    i.Add(IntProp("Left", &TControl::SetLeft));
    i.Add(IntProp("Top", &TControl::SetTop));
    i.Add(IntProp("Width", &TControl::SetWidth));
    i.Add(IntProp("Height", &TControl::SetHeight));
    i.Add(EnumProp("Align", &TControl::SetAlign, AlignNames));
    i.Add(SetProp<TControl, TAnchors, TAnchorKind>("Anchors", &TControl::SetAnchors, AnchorNames));
    i.Add(StrProp("Caption", &TControl::SetCaption));
    i.Add(StrProp("Text", &TControl::SetText));
    i.Add(BoolProp("Enabled", &TControl::SetEnabled));
    i.Add(BoolProp("Visible", &TControl::SetVisible));
    i.Add(StrProp("Hint", &TControl::SetHint));
    i.Add(BoolProp("ShowHint", &TControl::SetShowHint));
    i.Add(BoolProp("ParentShowHint", &TControl::SetParentShowHint));
    i.Add(ColorProp("Color", &TControl::SetColor));
    i.Add(BoolProp("ParentColor", &TControl::SetParentColor));
    i.Add(SubProp("Font", &TControl::Font));
    i.Add(BoolProp("ParentFont", &TControl::SetParentFont));
    i.Add(EventProp("OnClick", &TControl::OnClick));
    i.Add(EventProp("OnDblClick", &TControl::OnDblClick));
    i.Add(EventProp("OnResize", &TControl::OnResize));
    return i;
  }();
  return &info;
}

const TClassInfo* TControl::ClassInfo() const { return StaticClassInfo(); }

TControl::TControl(TComponent* owner, QWidget* widget)
    : TComponent(owner), widget_(widget), font_(std::make_unique<TFont>()) {
  widget_->setProperty(kControlProperty, QVariant::fromValue(reinterpret_cast<quintptr>(this)));
  widget_->setFont(ToQFont(*font_));
  font_->OnChange = TNotifyEvent([this](TObject*) { FontChanged(); }, this);
}

TControl::~TControl() {
  BeforeDestruction();
  DisconnectWidget();
  if (parent_) parent_->RemoveControl(this);
  parent_ = nullptr;
  font_->OnChange.Clear();
  delete widget_;
  widget_ = nullptr;
}

void TControl::DisconnectWidget() {
  if (!widget_) return;
  widget_->blockSignals(true);
  QObject::disconnect(widget_, nullptr, nullptr, nullptr);
  widget_->setProperty(kControlProperty, QVariant());
  if (auto* paint = dynamic_cast<PaintWidget*>(widget_)) paint->Forget();
}

TControl* TControl::FromWidget(QWidget* widget) {
  for (QWidget* w = widget; w; w = w->parentWidget()) {
    const QVariant v = w->property(kControlProperty);
    if (v.isValid()) return reinterpret_cast<TControl*>(v.value<quintptr>());
  }
  return nullptr;
}

void TControl::SetBounds(int left, int top, int width, int height) {
  width = std::max(width, 0);
  height = std::max(height, 0);
  const bool resized = width != width_ || height != height_;
  if (!resized && left == left_ && top == top_) return;
  left_ = left;
  top_ = top;
  width_ = width;
  height_ = height;
  UpdateWidgetGeometry();
  if (resized) Resize();
}

void TControl::UpdateWidgetGeometry() { widget_->setGeometry(left_, top_, width_, height_); }

void TControl::Resize() {
  if (OnResize.Assigned() && !HasState(csLoading)) OnResize(this);
}

void TControl::SetAlign(TAlign align) { align_ = align; }

void TControl::SetParent(TWinControl* parent) {
  if (parent == parent_) return;
  if (parent == this) throw EInvalidOperation("A control cannot have itself as its parent");
  if (parent_) parent_->RemoveControl(this);
  parent_ = parent;
  if (parent) {
    parent->InsertControl(this);
    widget_->setParent(parent->Widget());
    UpdateWidgetGeometry();
    if (parentFont_) ParentFontChanged();
    if (parentColor_) ParentColorChanged();
    UpdateHint();
    widget_->setVisible(visible_);
  } else {
    widget_->setParent(nullptr);
  }
}

void TControl::SetEnabled(bool enabled) {
  if (enabled_ == enabled) return;
  enabled_ = enabled;
  widget_->setEnabled(enabled);
  EnabledChanged();
}

void TControl::SetVisible(bool visible) {
  if (visible_ == visible) return;
  visible_ = visible;
  if (parent_) widget_->setVisible(visible);
  VisibleChanged();
}

bool TControl::Showing() const { return widget_->isVisible(); }

void TControl::SetText(const std::string& text) {
  if (text_ == text) return;
  text_ = text;
  TextChanged();
}

void TControl::SetHint(const std::string& hint) {
  hint_ = hint;
  UpdateHint();
}

bool TControl::ShowHint() const {
  if (parentShowHint_ && parent_) return parent_->ShowHint();
  return showHint_;
}

void TControl::SetShowHint(bool show) {
  showHint_ = show;
  parentShowHint_ = false;
  UpdateHint();
}

void TControl::SetParentShowHint(bool parent) {
  if (!parent && parentShowHint_) showHint_ = ShowHint();
  parentShowHint_ = parent;
  UpdateHint();
}

std::string TControl::EffectiveHint() const {
  if (!ShowHint()) return {};
  // The short part of a hint comes before a '|'.
  return hint_.substr(0, hint_.find('|'));
}

void TControl::UpdateHint() { widget_->setToolTip(ToQ(EffectiveHint())); }

void TControl::SetColor(TColor color) {
  parentColor_ = false;
  if (color_ == color) return;
  color_ = color;
  ColorChanged();
}

void TControl::SetParentColor(bool parent) {
  parentColor_ = parent;
  if (parent) ParentColorChanged();
}

void TControl::ParentColorChanged() {
  if (!parentColor_ || !parent_) return;
  if (color_ == parent_->Color()) return;
  color_ = parent_->Color();
  ColorChanged();
}

void TControl::ColorChanged() {
  QPalette palette = widget_->palette();
  palette.setColor(QPalette::Window, ToQColor(color_));
  palette.setColor(QPalette::Button, ToQColor(color_));
  widget_->setPalette(palette);
}

void TControl::SetParentFont(bool parent) {
  parentFont_ = parent;
  if (parent) ParentFontChanged();
}

void TControl::ParentFontChanged() {
  if (!parentFont_ || !parent_) return;
  fontFromParent_ = true;
  font_->Assign(parent_->Font());
  fontFromParent_ = false;
}

void TControl::FontChanged() {
  if (!fontFromParent_) parentFont_ = false;
  widget_->setFont(ToQFont(*font_));
  QPalette palette = widget_->palette();
  palette.setColor(QPalette::WindowText, ToQColor(font_->Color()));
  palette.setColor(QPalette::Text, ToQColor(font_->Color()));
  palette.setColor(QPalette::ButtonText, ToQColor(font_->Color()));
  widget_->setPalette(palette);
}

void TControl::Invalidate() { widget_->update(); }
void TControl::Repaint() { widget_->repaint(); }
void TControl::Update() { widget_->repaint(); }
void TControl::BringToFront() { widget_->raise(); }
void TControl::SendToBack() { widget_->lower(); }

void TControl::Click() {
  if (OnClick.Assigned()) OnClick(this);
}

void TControl::Loaded() { TComponent::Loaded(); }

// --- TWinControl ----------------------------------------------------------------

const TClassInfo* TWinControl::StaticClassInfo() {
  static const TClassInfo info = [] {
    TClassInfo i("TWinControl", TControl::StaticClassInfo());
    i.Add(IntProp("TabOrder", &TWinControl::SetTabOrder));
    i.Add(BoolProp("TabStop", &TWinControl::SetTabStop));
    i.Add(EventProp("OnEnter", &TWinControl::OnEnter));
    i.Add(EventProp("OnExit", &TWinControl::OnExit));
    return i;
  }();
  return &info;
}

const TClassInfo* TWinControl::ClassInfo() const { return StaticClassInfo(); }

TWinControl::TWinControl(TComponent* owner, QWidget* widget) : TControl(owner, widget) {
  widget->setFocusPolicy(Qt::NoFocus);
}

TWinControl::~TWinControl() {
  BeforeDestruction();
  // Children that live on (owned elsewhere) keep their widgets.
  while (!controls_.empty()) controls_.back()->SetParent(nullptr);
}

void TWinControl::InsertControl(TControl* control) {
  controls_.push_back(control);
  if (auto* win = dynamic_cast<TWinControl*>(control)) {
    tabList_.push_back(win);
    // A tab order set before the control had a parent takes effect now.
    if (win->pendingTabOrder_ >= 0 && !win->HasState(csLoading)) {
      const int order = win->pendingTabOrder_;
      win->pendingTabOrder_ = -1;
      win->SetTabOrder(order);
    }
  }
}

void TWinControl::RemoveControl(TControl* control) {
  controls_.erase(std::remove(controls_.begin(), controls_.end(), control), controls_.end());
  tabList_.erase(std::remove(tabList_.begin(), tabList_.end(), control), tabList_.end());
}

int TWinControl::TabOrder() const {
  if (!Parent() || (HasState(csLoading) && pendingTabOrder_ >= 0)) return pendingTabOrder_;
  const auto& list = Parent()->tabList_;
  const auto it = std::find(list.begin(), list.end(), this);
  return it == list.end() ? -1 : static_cast<int>(it - list.begin());
}

void TWinControl::SetTabOrder(int order) {
  if (HasState(csLoading) || !Parent()) {
    pendingTabOrder_ = order;
    return;
  }
  auto& list = Parent()->tabList_;
  list.erase(std::remove(list.begin(), list.end(), this), list.end());
  const int position = std::clamp(order, 0, static_cast<int>(list.size()));
  list.insert(list.begin() + position, this);
}

void TWinControl::Loaded() {
  TControl::Loaded();
  // The children's tab orders as the layout gave them; a child without one
  // keeps its place after those that have one.
  std::stable_sort(tabList_.begin(), tabList_.end(), [](TWinControl* a, TWinControl* b) {
    const int ka = a->pendingTabOrder_ >= 0 ? a->pendingTabOrder_ : 1 << 30;
    const int kb = b->pendingTabOrder_ >= 0 ? b->pendingTabOrder_ : 1 << 30;
    return ka < kb;
  });
  for (TWinControl* child : tabList_) child->pendingTabOrder_ = -1;
}

void TWinControl::SetTabStop(bool stop) {
  tabStop_ = stop;
  Qt::FocusPolicy policy = Widget()->focusPolicy();
  if (stop)
    policy = Qt::StrongFocus;
  else if (policy == Qt::StrongFocus || policy == Qt::TabFocus)
    policy = Qt::ClickFocus;
  Widget()->setFocusPolicy(policy);
}

bool TWinControl::Focused() const {
  QWidget* focus = Widget()->window()->focusWidget();
  return focus && (focus == Widget() || Widget()->isAncestorOf(focus)) &&
         FromWidget(focus) == this;
}

bool TWinControl::CanFocus() const { return Widget()->isVisible() && Widget()->isEnabled(); }

void TWinControl::SetFocus() {
  if (!CanFocus()) throw EInvalidOperation("Cannot focus a disabled or invisible window");
  Widget()->setFocus(Qt::OtherFocusReason);
}

HWND TWinControl::Handle() const { return reinterpret_cast<HWND>(Widget()); }

void TWinControl::FontChanged() {
  TControl::FontChanged();
  for (TControl* child : controls_) child->ParentFontChanged();
}

void TWinControl::UpdateHint() {
  TControl::UpdateHint();
  for (TControl* child : controls_) child->UpdateHint();
}

void TWinControl::ColorChanged() {
  TControl::ColorChanged();
  for (TControl* child : controls_) child->ParentColorChanged();
}

// --- TGraphicControl ----------------------------------------------------------------

const TClassInfo* TGraphicControl::StaticClassInfo() {
  static const TClassInfo info("TGraphicControl", TControl::StaticClassInfo());
  return &info;
}

const TClassInfo* TGraphicControl::ClassInfo() const { return StaticClassInfo(); }

TGraphicControl::TGraphicControl(TComponent* owner)
    : TGraphicControl(owner, nullptr) {}

TGraphicControl::TGraphicControl(TComponent* owner, QWidget* widget)
    : TControl(owner, widget ? widget : new PaintWidget(this)),
      canvas_(std::make_unique<TCanvas>()) {}

TGraphicControl::~TGraphicControl() {
  BeforeDestruction();
  DisconnectWidget();
}

// --- helpers ----------------------------------------------------------------------

TForm* GetParentForm(const TControl* control) {
  for (const TControl* c = control; c; c = c->Parent())
    if (auto* form = dynamic_cast<const TForm*>(c)) return const_cast<TForm*>(form);
  return nullptr;
}

void RegisterVisualClasses() {
  static const bool done = [] {
    for (const TClassInfo* info :
         {TButton::StaticClassInfo(), TEdit::StaticClassInfo(), TMemo::StaticClassInfo(),
          TCheckBox::StaticClassInfo(), TLabel::StaticClassInfo(), TGroupBox::StaticClassInfo(),
          TComboBox::StaticClassInfo(), TPanel::StaticClassInfo(), TTimer::StaticClassInfo(),
          TSpeedButton::StaticClassInfo(), TForm::StaticClassInfo()})
      RegisterClass(info);
    TReader::SetParentHook() = [](TComponent* child, TComponent* parent) {
      auto* control = dynamic_cast<TControl*>(child);
      auto* container = dynamic_cast<TWinControl*>(parent);
      if (control && container) control->SetParent(container);
    };
    return true;
  }();
  (void)done;
}

}  // namespace vcl
