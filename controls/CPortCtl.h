// Unit CPortCtl: controls bound to a port.
//
// TComSelect    the binding of one port setting to a list of texts: fills the
//               list, finds the port's current value, writes a choice back.
// TComComboBox  a drop-down list that edits one setting of a port through a
//               TComSelect it owns.
// TComLed       a lamp that shows one modem line or traffic indicator of a
//               port, following the port through a TComLink.
//
// Threads: user-interface thread only. The lamp's link handlers run where the
// port notifies its links, which for smThreadSync and smWindowSync and for
// the port's own reads and writes is the user-interface thread; smNone is not
// supported by the lamp.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "CPort.h"
#include "Controls.h"
#include "ExtCtrls.h"
#include "Graphics.h"
#include "StdCtrls.h"

// Which setting of a port a selector edits.
enum TComProperty : std::uint8_t {
  cpNone, cpPort, cpBaudRate, cpDataBits, cpStopBits, cpParity, cpFlowControl
};
const vcl::TEnumNames& ComPropertyNames();

// ---------------------------------------------------------------------------
// The binding of one port setting to a list of texts. The list belongs to
// the control that hands it over; the port is referenced, not owned.

class TComSelect : public vcl::TObject {
 public:
  // Chosen values; only the one of the bound property is read or written.
  std::string ChosenPort;
  TBaudRate ChosenBaudRate = brCustom;
  TDataBits ChosenDataBits = dbFive;
  TStopBits ChosenStopBits = sbOneStopBit;
  TParityBits ChosenParity = prNone;
  TFlowControl ChosenFlowControl = fcHardware;

  vcl::TStrings* Items() const { return FItems; }
  void SetItems(vcl::TStrings* items) { FItems = items; }
  TComProperty ComProperty() const { return FComProperty; }
  TCustomComPort* ComPort() const { return FComPort; }
  void SetComPort(TCustomComPort* port) { FComPort = port; }
  bool AutoApply() const { return FAutoApply; }
  void SetAutoApply(bool value) { FAutoApply = value; }

  // Stores the property and refills the list with its texts. For cpPort the
  // list is read from the serial device map; when that raises EComPort the
  // list stays empty and the property is stored.
  void BindProperty(TComProperty property);
  // Takes a text picked from the list as the chosen value; applies it at
  // once when AutoApply is set.
  void TakeSelectedText(const std::string& text);
  // Writes the chosen value into the port through its setters. No port:
  // nothing happens.
  void ApplySelection();
  // Index of the item showing the port's current value (case-insensitive),
  // or -1. A found item becomes the chosen value. A port name that is not
  // listed becomes the chosen name as it is, so that applying an untouched
  // selection gives the port back the name it has.
  int FindCurrentSetting();

 private:
  vcl::TStrings* FItems = nullptr;
  TComProperty FComProperty = cpNone;
  TCustomComPort* FComPort = nullptr;
  bool FAutoApply = false;
};

// ---------------------------------------------------------------------------
// A drop-down list editing one setting of one port.

class TComComboBox : public vcl::TCustomComboBox {
 public:
  explicit TComComboBox(vcl::TComponent* owner);
  ~TComComboBox() override;
  const vcl::TClassInfo* ClassInfo() const override;
  static const vcl::TClassInfo* StaticClassInfo();

  TCustomComPort* ComPort() const { return FSelect->ComPort(); }
  // Attaches (and shows the port's current value) or forgets the port.
  void SetComPort(TCustomComPort* port);
  TComProperty ComProperty() const { return FSelect->ComProperty(); }
  // Refills the list; selects the port's value, or item 0 without a port.
  void SetComProperty(TComProperty property);
  bool AutoApply() const { return FSelect->AutoApply(); }
  void SetAutoApply(bool value) { FSelect->SetAutoApply(value); }

  void ApplySelection();
  // Selects the item of the port's current value (none when not listed).
  void ShowCurrentSetting();

  // The selector, for those who need the chosen values.
  TComSelect* Select() const { return FSelect.get(); }

 protected:
  void Notification(vcl::TComponent* component, vcl::TOperation operation) override;
  // The user picked an item: take it (and apply it when AutoApply), then
  // fire OnChange.
  void Change() override;

 private:
  std::unique_ptr<TComSelect> FSelect;
};

// ---------------------------------------------------------------------------
// A lamp bound to one signal of a port.

enum TComLedSignal : std::uint8_t { lsConn, lsCTS, lsDSR, lsRLSD, lsRing, lsRx, lsTx };
enum TLedKind : std::uint8_t {
  lkRedLight, lkGreenLight, lkBlueLight, lkYellowLight, lkPurpleLight, lkBulb, lkCustom
};
enum TLedState : std::uint8_t { lsOff, lsOn };
using TLedStateEvent = vcl::TEvent<vcl::TObject*, TLedState>;

const vcl::TEnumNames& ComLedSignalNames();
const vcl::TEnumNames& LedKindNames();
const vcl::TEnumNames& LedStateNames();

// The resource names of a kind's lit and dark glyphs ("" for lkCustom).
const char* LedGlyphName(TLedKind kind, TLedState state);

class TComLed : public vcl::TGraphicControl {
 public:
  explicit TComLed(vcl::TComponent* owner);
  ~TComLed() override;
  const vcl::TClassInfo* ClassInfo() const override;
  static const vcl::TClassInfo* StaticClassInfo();

  TComPort* ComPort() const { return FComPort; }
  // Detaches from the old port, attaches to the new one; on an open port the
  // lamp takes the signal's current state (ReadLineSignals may raise).
  void SetComPort(TComPort* port);
  TComLedSignal LedSignal() const { return FLedSignal; }
  void SetLedSignal(TComLedSignal value);
  TLedKind Kind() const { return FKind; }
  void SetKind(TLedKind value);
  // The bitmaps themselves; writing copies the given bitmap (made
  // transparent in place) and is ignored unless Kind is lkCustom.
  vcl::TBitmap* GlyphOn() const { return FLampBitmaps[lsOn].get(); }
  void SetGlyphOn(vcl::TBitmap* bitmap) { SetGlyph(lsOn, bitmap); }
  vcl::TBitmap* GlyphOff() const { return FLampBitmaps[lsOff].get(); }
  void SetGlyphOff(vcl::TBitmap* bitmap) { SetGlyph(lsOff, bitmap); }
  TLedState State() const { return FState; }
  // Raises EComPort ecLedStateLocked while a port is set.
  void SetState(TLedState value);
  int RingDuration() const { return static_cast<int>(FRingOffTimer->Interval()); }
  void SetRingDuration(int milliseconds);

  TLedStateEvent OnChange;

  // Whether a ring flash is running, for those who wait for its end.
  bool RingFlashing() const { return FRingOffTimer->Enabled(); }

 protected:
  void Notification(vcl::TComponent* component, vcl::TOperation operation) override;
  void Paint() override;
  void EnabledChanged() override;
  virtual void NotifyStateChange(TLedState state);

 private:
  void ApplyState(TLedState state);
  void LoadKindGlyphs(TLedKind kind);
  bool SignalFromPort();
  void SetGlyph(TLedState which, vcl::TBitmap* bitmap);
  void SignalHandler(vcl::TObject* sender, bool onOff);
  void RingHandler(vcl::TObject* sender);
  void TimerHandler(vcl::TObject* sender);

  TComPort* FComPort = nullptr;
  TComLedSignal FLedSignal = lsConn;
  TLedKind FKind = lkRedLight;
  TLedState FState = lsOff;
  std::unique_ptr<vcl::TBitmap> FLampBitmaps[2];
  std::unique_ptr<TComLink> FPortLink;
  std::unique_ptr<vcl::TTimer> FRingOffTimer;
  // Staging bitmaps for glyphs read from a layout (GlyphOn.Data = {...}).
  std::unique_ptr<vcl::TBitmap> FLayoutGlyphs[2];
  friend struct ComLedLayout;
};

// Registers TComLed and TComComboBox (and the port) with the layout reader
// and the lamp glyphs with the resources. Idempotent.
void RegisterControlClasses();
