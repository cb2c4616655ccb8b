// Published properties of the port controls, their enumeration names and
// their registration with the layout reader.
#include "CPortCtl.h"
#include "RegisterControlsResources.h"

const vcl::TEnumNames& ComPropertyNames() {
  static const vcl::TEnumNames names{"cpNone",     "cpPort",     "cpBaudRate", "cpDataBits",
                                     "cpStopBits", "cpParity",   "cpFlowControl"};
  return names;
}

const vcl::TEnumNames& ComLedSignalNames() {
  static const vcl::TEnumNames names{"lsConn", "lsCTS", "lsDSR", "lsRLSD", "lsRing", "lsRx", "lsTx"};
  return names;
}

const vcl::TEnumNames& LedKindNames() {
  static const vcl::TEnumNames names{"lkRedLight",    "lkGreenLight", "lkBlueLight", "lkYellowLight",
                                     "lkPurpleLight", "lkBulb",       "lkCustom"};
  return names;
}

const vcl::TEnumNames& LedStateNames() {
  static const vcl::TEnumNames names{"lsOff", "lsOn"};
  return names;
}

// --- TComComboBox ---------------------------------------------------------------

const vcl::TClassInfo* TComComboBox::StaticClassInfo() {
  static const vcl::TClassInfo info = [] {
    vcl::TClassInfo i("TComComboBox", vcl::TCustomComboBox::StaticClassInfo(),
                      [](vcl::TComponent* owner) -> vcl::TComponent* { return new TComComboBox(owner); });
    i.Add(vcl::RefProp("ComPort", &TComComboBox::SetComPort));
    i.Add(vcl::EnumProp("ComProperty", &TComComboBox::SetComProperty, ComPropertyNames()));
    i.Add(vcl::BoolProp("AutoApply", &TComComboBox::SetAutoApply));
    i.Add(vcl::StrProp("Text", &TComComboBox::SetText));
    i.Add(vcl::EnumProp("Style", &TComComboBox::SetStyle, vcl::ComboBoxStyleNames));
    return i;
  }();
  return &info;
}

const vcl::TClassInfo* TComComboBox::ClassInfo() const { return StaticClassInfo(); }

// --- TComLed --------------------------------------------------------------------

// Glyphs in a layout come either whole (GlyphOn = {...}) or as the bitmap's
// data (GlyphOn.Data = {...}); the latter lands in a staging bitmap whose
// change goes through the glyph setter, so Kind decides as from code.
struct ComLedLayout {
  static vcl::TPropInfo GlyphProp(const char* name, TLedState which) {
    vcl::TPropInfo p{name, nullptr, nullptr};
    p.write = [which](vcl::TObject* o, const vcl::TFormValue& v, vcl::TReader&) {
      if (v.kind != vcl::TFormValue::Kind::Binary) throw vcl::EConvertError("Invalid property value");
      vcl::TBitmap bitmap;
      bitmap.LoadFromData(v.text);
      static_cast<TComLed*>(o)->SetGlyph(which, &bitmap);
    };
    p.subObject = [which](vcl::TObject* o) -> vcl::TPersistent* {
      auto* led = static_cast<TComLed*>(o);
      auto& staging = led->FLayoutGlyphs[which];
      if (!staging) {
        staging = std::make_unique<vcl::TBitmap>();
        // Transparent already, so the glyph setter changes nothing in it.
        staging->SetTransparentMode(vcl::tmAuto);
        staging->SetTransparent(true);
        staging->OnChange = vcl::TNotifyEvent(
            [led, which](vcl::TObject*) { led->SetGlyph(which, led->FLayoutGlyphs[which].get()); }, led);
      }
      return staging.get();
    };
    return p;
  }
};

const vcl::TClassInfo* TComLed::StaticClassInfo() {
  static const vcl::TClassInfo info = [] {
    vcl::TClassInfo i("TComLed", vcl::TGraphicControl::StaticClassInfo(),
                      [](vcl::TComponent* owner) -> vcl::TComponent* { return new TComLed(owner); });
    i.Add(vcl::RefProp("ComPort", &TComLed::SetComPort));
    i.Add(vcl::EnumProp("LedSignal", &TComLed::SetLedSignal, ComLedSignalNames()));
    i.Add(vcl::EnumProp("Kind", &TComLed::SetKind, LedKindNames()));
    i.Add(ComLedLayout::GlyphProp("GlyphOn", lsOn));
    i.Add(ComLedLayout::GlyphProp("GlyphOff", lsOff));
    i.Add(vcl::EnumProp("State", &TComLed::SetState, LedStateNames()));
    i.Add(vcl::IntProp("RingDuration", &TComLed::SetRingDuration));
    i.Add(vcl::EventProp("OnChange", &TComLed::OnChange));
    return i;
  }();
  return &info;
}

const vcl::TClassInfo* TComLed::ClassInfo() const { return StaticClassInfo(); }

// --- registration -----------------------------------------------------------------

void RegisterControlClasses() {
  static const bool done = [] {
    RegisterEngineClasses();
    vcl::RegisterVisualClasses();
    vcl::RegisterClass(TComLed::StaticClassInfo());
    vcl::RegisterClass(TComComboBox::StaticClassInfo());
    RegisterControlsResources();
    return true;
  }();
  (void)done;
}
