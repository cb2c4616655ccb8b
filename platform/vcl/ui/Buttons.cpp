#include "Buttons.h"

#include <QIcon>
#include <QPixmap>
#include <QToolButton>

#include "QtBridge.h"

namespace vcl {

const TClassInfo* TSpeedButton::StaticClassInfo() {
  static const TClassInfo info = [] {
    TClassInfo i("TSpeedButton", TGraphicControl::StaticClassInfo(),
                 [](TComponent* owner) -> TComponent* { return new TSpeedButton(owner); });
    i.Add(SubProp("Glyph", &TSpeedButton::Glyph));
    i.Add(BoolProp("Flat", &TSpeedButton::SetFlat));
    i.Add(IntProp("NumGlyphs", &TSpeedButton::SetNumGlyphs));
    i.Add(BoolProp("Down", &TSpeedButton::SetDown));
    i.Add(IntProp("GroupIndex", &TSpeedButton::SetGroupIndex));
    i.Add(BoolProp("AllowAllUp", &TSpeedButton::SetAllowAllUp));
    i.Add(BoolProp("Transparent", &TSpeedButton::SetTransparent));
    return i;
  }();
  return &info;
}

const TClassInfo* TSpeedButton::ClassInfo() const { return StaticClassInfo(); }

TSpeedButton::TSpeedButton(TComponent* owner)
    : TGraphicControl(owner, new QToolButton), glyph_(std::make_unique<TBitmap>()) {
  auto* button = static_cast<QToolButton*>(Widget());
  button->setFocusPolicy(Qt::NoFocus);
  button->setToolButtonStyle(Qt::ToolButtonIconOnly);
  // The glyph's background colour is see-through, as the platform draws it.
  glyph_->SetTransparent(true);
  glyph_->OnChange = TNotifyEvent([this](TObject*) { UpdateGlyph(); }, this);
  SetBounds(0, 0, 23, 22);
  QObject::connect(button, &QToolButton::clicked, button, [this] { Guarded([this] { Click(); }); });
}

TSpeedButton::~TSpeedButton() {
  DisconnectWidget();
  glyph_->OnChange.Clear();
}

void TSpeedButton::UpdateGlyph() {
  auto* button = static_cast<QToolButton*>(Widget());
  if (glyph_->Empty()) {
    button->setIcon(QIcon());
    return;
  }
  // Several glyphs side by side: the first is the normal one.
  QImage image = TransparentImage(*glyph_);
  const int count = numGlyphs_ > 0 ? numGlyphs_ : 1;
  if (count > 1) image = image.copy(0, 0, image.width() / count, image.height());
  button->setIcon(QIcon(QPixmap::fromImage(image)));
  button->setIconSize(image.size());
}

void TSpeedButton::SetFlat(bool flat) {
  flat_ = flat;
  static_cast<QToolButton*>(Widget())->setAutoRaise(flat);
}

void TSpeedButton::SetNumGlyphs(int count) {
  numGlyphs_ = count;
  UpdateGlyph();
}

void TSpeedButton::SetDown(bool down) {
  down_ = down;
  auto* button = static_cast<QToolButton*>(Widget());
  button->setCheckable(groupIndex_ != 0 || down);
  button->setChecked(down);
}

void TSpeedButton::SetTransparent(bool transparent) { transparent_ = transparent; }

void TSpeedButton::TextChanged() {
  auto* button = static_cast<QToolButton*>(Widget());
  button->setText(ToQ(Text()));
  button->setToolButtonStyle(Text().empty() ? Qt::ToolButtonIconOnly : Qt::ToolButtonTextBesideIcon);
}

void TSpeedButton::EnabledChanged() { Invalidate(); }

void TSpeedButton::Click() { TGraphicControl::Click(); }

}  // namespace vcl
