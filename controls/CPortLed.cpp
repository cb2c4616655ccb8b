// TComLed: a lamp following one signal of a port.
// User-interface thread only (see CPortCtl.h).
#include <algorithm>

#include "AppCore.h"
#include "CPortCtl.h"
#include "RegisterControlsResources.h"

namespace {

// Glyph resource names by kind: lit, then dark.
constexpr const char* kGlyphNames[][2] = {
    {"LEDREDON", "LEDREDOFF"},       {"LEDGREENON", "LEDGREENOFF"},
    {"LEDBLUEON", "LEDBLUEOFF"},     {"LEDYELLOWON", "LEDYELLOWOFF"},
    {"LEDPURPLEON", "LEDPURPLEOFF"}, {"LEDBULBON", "LEDBULBOFF"},
};

void MakeTransparent(vcl::TBitmap* bitmap) {
  bitmap->SetTransparentMode(vcl::tmAuto);
  bitmap->SetTransparent(true);
}

}  // namespace

const char* LedGlyphName(TLedKind kind, TLedState state) {
  if (kind >= lkCustom) return "";
  return kGlyphNames[kind][state == lsOn ? 0 : 1];
}

TComLed::TComLed(vcl::TComponent* owner) : vcl::TGraphicControl(owner) {
  // The glyphs are loaded by name at the first paint; a lamp made in code,
  // without RegisterControlClasses, finds them all the same.
  RegisterControlsResources();
  SetHeight(25);
  SetWidth(25);
  FPortLink = std::make_unique<TComLink>();
  FPortLink->OnLinkConn = TComSignalEvent::Method(this, &TComLed::SignalHandler);
  for (TLedState s : {lsOn, lsOff}) {
    FLampBitmaps[s] = std::make_unique<vcl::TBitmap>();
    MakeTransparent(FLampBitmaps[s].get());
  }
  FRingOffTimer = std::make_unique<vcl::TTimer>(nullptr);
  FRingOffTimer->SetEnabled(false);
  FRingOffTimer->SetOnTimer(vcl::TNotifyEvent::Method(this, &TComLed::TimerHandler));
}

TComLed::~TComLed() {
  // Qt must not paint or click into a lamp whose parts are going away.
  DisconnectWidget();
  FRingOffTimer.reset();
  FLampBitmaps[lsOn].reset();
  FLampBitmaps[lsOff].reset();
  // Detaches the link (and darkens the lamp, telling OnChange) while the
  // link still exists; Paint finds no bitmaps from here on.
  try {
    SetComPort(nullptr);
  } catch (...) {
    // A port that refuses the detach keeps no reference worth saving; the
    // lamp's destruction must go on.
  }
  FPortLink.reset();
}

// --- properties ---------------------------------------------------------------

void TComLed::SetComPort(TComPort* port) {
  if (port == FComPort) return;
  if (FComPort) {
    TComPort* old = FComPort;
    old->DetachLink(FPortLink.get());
    RemoveFreeNotification(old);
  }
  FComPort = port;
  if (!port) {
    ApplyState(lsOff);
    return;
  }
  FreeNotification(port);
  port->AttachLink(FPortLink.get());
  if (!port->Connected() || HasState(vcl::csDesigning | vcl::csLoading)) return;
  ApplyState(SignalFromPort() ? lsOn : lsOff);
}

void TComLed::SetLedSignal(TComLedSignal value) {
  if (value == FLedSignal) return;
  FLedSignal = value;
  TComLink& link = *FPortLink;
  link.OnLinkConn.Clear();
  link.OnLinkCTSChange.Clear();
  link.OnLinkDSRChange.Clear();
  link.OnLinkRLSDChange.Clear();
  link.OnLinkRing.Clear();
  link.OnLinkTx.Clear();
  link.OnLinkRx.Clear();
  const TComSignalEvent onOff = TComSignalEvent::Method(this, &TComLed::SignalHandler);
  switch (value) {
    case lsConn: link.OnLinkConn = onOff; break;
    case lsCTS: link.OnLinkCTSChange = onOff; break;
    case lsDSR: link.OnLinkDSRChange = onOff; break;
    case lsRLSD: link.OnLinkRLSDChange = onOff; break;
    case lsRing: link.OnLinkRing = vcl::TNotifyEvent::Method(this, &TComLed::RingHandler); break;
    case lsRx: link.OnLinkRx = onOff; break;
    case lsTx: link.OnLinkTx = onOff; break;
  }
}

void TComLed::SetKind(TLedKind value) {
  if (value == FKind) return;
  FKind = value;
  LoadKindGlyphs(value);
  Invalidate();
}

void TComLed::SetGlyph(TLedState which, vcl::TBitmap* bitmap) {
  if (FKind != lkCustom || !bitmap) return;
  MakeTransparent(bitmap);
  FLampBitmaps[which]->Assign(bitmap);
  Invalidate();
}

void TComLed::SetState(TLedState value) {
  if (FComPort) throw EComPort(ecLedStateLocked);
  ApplyState(value);
}

void TComLed::SetRingDuration(int milliseconds) {
  FRingOffTimer->SetInterval(static_cast<unsigned>(std::max(0, milliseconds)));
}

// --- state --------------------------------------------------------------------

void TComLed::ApplyState(TLedState state) {
  // No comparison: every notification reaches OnChange.
  FState = state;
  if (!HasState(vcl::csLoading)) NotifyStateChange(state);
  Invalidate();
}

void TComLed::NotifyStateChange(TLedState state) {
  if (OnChange.Assigned()) OnChange(this, state);
}

bool TComLed::SignalFromPort() {
  switch (FLedSignal) {
    case lsConn: return FComPort && FComPort->Connected();
    case lsCTS: return FComPort->ReadLineSignals().Contains(sgCTS);
    case lsDSR: return FComPort->ReadLineSignals().Contains(sgDSR);
    case lsRLSD: return FComPort->ReadLineSignals().Contains(sgRLSD);
    case lsRing:
    case lsRx:
    case lsTx: return false;
  }
  return false;
}

void TComLed::LoadKindGlyphs(TLedKind kind) {
  if (kind >= lkCustom) return;
  FLampBitmaps[lsOn]->LoadFromResourceName(vcl::HInstance, LedGlyphName(kind, lsOn));
  FLampBitmaps[lsOff]->LoadFromResourceName(vcl::HInstance, LedGlyphName(kind, lsOff));
}

// --- link and timer handlers ----------------------------------------------------

void TComLed::SignalHandler(vcl::TObject*, bool onOff) {
  ApplyState(onOff ? lsOn : lsOff);
  // Shown now, before the port's operation goes on: a receive-on followed
  // by receive-off within one burst still lights the lamp.
  vcl::EnsureApplication()->ProcessMessages();
}

void TComLed::RingHandler(vcl::TObject*) {
  // Enabling a running timer does not restart it: a second ring during a
  // flash does not lengthen it.
  FRingOffTimer->SetEnabled(true);
  ApplyState(lsOn);
}

void TComLed::TimerHandler(vcl::TObject*) {
  FRingOffTimer->SetEnabled(false);
  ApplyState(lsOff);
}

// --- painting and notices ---------------------------------------------------------

void TComLed::Paint() {
  // Released during destruction: nothing to draw any more.
  if (!FLampBitmaps[lsOn] || !FLampBitmaps[lsOff]) return;
  if (FLampBitmaps[lsOn]->Empty() || FLampBitmaps[lsOff]->Empty()) LoadKindGlyphs(FKind);
  vcl::TBitmap* glyph = Enabled() ? FLampBitmaps[FState].get() : FLampBitmaps[lsOff].get();
  if (glyph->Empty()) return;
  const vcl::TRect r = ClientRect();
  const int x = r.Left + std::max(0, (r.Right - r.Left - glyph->Width()) / 2);
  const int y = r.Top + std::max(0, (r.Bottom - r.Top - glyph->Height()) / 2);
  Canvas()->Draw(x, y, glyph);
}

void TComLed::EnabledChanged() { Invalidate(); }

void TComLed::Notification(vcl::TComponent* component, vcl::TOperation operation) {
  vcl::TGraphicControl::Notification(component, operation);
  if (operation == vcl::TOperation::opRemove && component &&
      component == static_cast<vcl::TComponent*>(FComPort))
    SetComPort(nullptr);
}
