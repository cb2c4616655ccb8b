#include "ExtCtrls.h"

#include <QPainter>
#include <QTimer>
#include <QWidget>

#include "QtBridge.h"

namespace vcl {

// --- TPanel -----------------------------------------------------------------------

namespace {

class PanelWidget : public QWidget {
 public:
  explicit PanelWidget(TPanel* owner) : owner_(owner) { setFocusPolicy(Qt::NoFocus); }
  void Forget() { owner_ = nullptr; }

 protected:
  void paintEvent(QPaintEvent*) override {
    if (!owner_ || !property("vclControl").isValid()) return;
    QPainter p(this);
    QRect r = rect();
    p.fillRect(r, ToQColor(owner_->Color()));
    const QColor light = ToQColor(clBtnHighlight);
    const QColor dark = ToQColor(clBtnShadow);
    auto bevel = [&](TBevelCut cut) {
      if (cut == bvNone) return;
      for (int i = 0; i < owner_->BevelWidth(); ++i) {
        if (cut != bvSpace) {
          const QColor topLeft = cut == bvRaised ? light : dark;
          const QColor bottomRight = cut == bvRaised ? dark : light;
          p.setPen(topLeft);
          p.drawLine(r.left(), r.top(), r.right(), r.top());
          p.drawLine(r.left(), r.top(), r.left(), r.bottom());
          p.setPen(bottomRight);
          p.drawLine(r.left(), r.bottom(), r.right(), r.bottom());
          p.drawLine(r.right(), r.top(), r.right(), r.bottom());
        }
        r.adjust(1, 1, -1, -1);
      }
    };
    if (owner_->BorderStyle() == bsSingle) {
      p.setPen(ToQColor(clWindowFrame));
      p.drawRect(r.adjusted(0, 0, -1, -1));
      r.adjust(1, 1, -1, -1);
    }
    bevel(owner_->BevelOuter());
    r.adjust(owner_->BorderWidth(), owner_->BorderWidth(), -owner_->BorderWidth(), -owner_->BorderWidth());
    bevel(owner_->BevelInner());
    const QString caption = PlainCaption(owner_->Caption());
    if (!caption.isEmpty()) {
      p.setPen(ToQColor(owner_->Font()->Color()));
      const Qt::Alignment h = owner_->Alignment() == taLeftJustify    ? Qt::AlignLeft
                              : owner_->Alignment() == taRightJustify ? Qt::AlignRight
                                                                      : Qt::AlignHCenter;
      p.drawText(r, int(h | Qt::AlignVCenter), caption);
    }
  }

 private:
  TPanel* owner_;
};

}  // namespace

const TClassInfo* TPanel::StaticClassInfo() {
  static const TClassInfo info = [] {
    TClassInfo i("TPanel", TWinControl::StaticClassInfo(),
                 [](TComponent* owner) -> TComponent* { return new TPanel(owner); });
    i.Add(EnumProp("BevelInner", &TPanel::SetBevelInner, BevelCutNames));
    i.Add(EnumProp("BevelOuter", &TPanel::SetBevelOuter, BevelCutNames));
    i.Add(IntProp("BevelWidth", &TPanel::SetBevelWidth));
    i.Add(IntProp("BorderWidth", &TPanel::SetBorderWidth));
    i.Add(EnumProp("BorderStyle", &TPanel::SetBorderStyle, BorderStyleNames));
    i.Add(EnumProp("Alignment", &TPanel::SetAlignment, AlignmentNames));
    return i;
  }();
  return &info;
}

const TClassInfo* TPanel::ClassInfo() const { return StaticClassInfo(); }

TPanel::TPanel(TComponent* owner) : TWinControl(owner, new PanelWidget(this)) {
  SetBounds(0, 0, 185, 41);
}

TPanel::~TPanel() {
  DisconnectWidget();
  static_cast<PanelWidget*>(Widget())->Forget();
}

void TPanel::SetBevelInner(TBevelCut cut) {
  bevelInner_ = cut;
  Invalidate();
}
void TPanel::SetBevelOuter(TBevelCut cut) {
  bevelOuter_ = cut;
  Invalidate();
}
void TPanel::SetBevelWidth(int width) {
  bevelWidth_ = width > 0 ? width : 1;
  Invalidate();
}
void TPanel::SetBorderWidth(int width) {
  borderWidth_ = width > 0 ? width : 0;
  Invalidate();
}
void TPanel::SetBorderStyle(TBorderStyle style) {
  borderStyle_ = style;
  Invalidate();
}
void TPanel::SetAlignment(TAlignment alignment) {
  alignment_ = alignment;
  Invalidate();
}
void TPanel::TextChanged() { Invalidate(); }
void TPanel::ColorChanged() {
  TWinControl::ColorChanged();
  Invalidate();
}

// --- TTimer -------------------------------------------------------------------------

struct TTimer::Impl {
  QTimer timer;
};

const TClassInfo* TTimer::StaticClassInfo() {
  static const TClassInfo info = [] {
    TClassInfo i("TTimer", TComponent::StaticClassInfo(),
                 [](TComponent* owner) -> TComponent* { return new TTimer(owner); });
    i.Add(BoolProp("Enabled", &TTimer::SetEnabled));
    i.Add(IntProp("Interval", &TTimer::SetInterval));
    i.Add(EventSetterProp("OnTimer", &TTimer::SetOnTimer));
    return i;
  }();
  return &info;
}

const TClassInfo* TTimer::ClassInfo() const { return StaticClassInfo(); }

TTimer::TTimer(TComponent* owner) : TComponent(owner), impl_(std::make_unique<Impl>()) {
  QObject::connect(&impl_->timer, &QTimer::timeout, &impl_->timer, [this] { Guarded([this] { Timer(); }); });
}

TTimer::~TTimer() {
  BeforeDestruction();
  impl_->timer.stop();
  QObject::disconnect(&impl_->timer, nullptr, nullptr, nullptr);
}

void TTimer::Timer() {
  if (onTimer_.Assigned()) onTimer_(this);
}

void TTimer::UpdateTimer() {
  impl_->timer.stop();
  if (enabled_ && interval_ > 0 && onTimer_.Assigned() && !HasState(csLoading))
    impl_->timer.start(static_cast<int>(interval_));
}

void TTimer::SetEnabled(bool enabled) {
  if (enabled_ == enabled) return;
  enabled_ = enabled;
  UpdateTimer();
}

void TTimer::SetInterval(unsigned milliseconds) {
  if (interval_ == milliseconds) return;
  interval_ = milliseconds;
  UpdateTimer();
}

void TTimer::SetOnTimer(const TNotifyEvent& handler) {
  onTimer_ = handler;
  UpdateTimer();
}

bool TTimer::Running() const { return impl_->timer.isActive(); }

void TTimer::Loaded() {
  TComponent::Loaded();
  UpdateTimer();
}

}  // namespace vcl
