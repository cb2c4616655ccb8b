// TComSelect and TComComboBox: one port setting as a list of texts.
// User-interface thread only.
#include "CPortCtl.h"

// ---------------------------------------------------------------------------
// TComSelect

void TComSelect::BindProperty(TComProperty property) {
  FComProperty = property;
  if (!FItems) return;
  FItems->BeginUpdate();
  struct EndUpdate {
    vcl::TStrings* items;
    ~EndUpdate() { items->EndUpdate(); }
  } endUpdate{FItems};
  FItems->Clear();
  switch (property) {
    case cpNone:
      break;
    case cpPort:
      // Raises EComPort (ecRegistryError) with the list left empty.
      ListPortNames(FItems);
      break;
    case cpBaudRate:
      for (int v = brCustom; v <= br256000; ++v) FItems->Add(FormatBaudRate(static_cast<TBaudRate>(v)));
      break;
    case cpDataBits:
      for (int v = dbFive; v <= dbEight; ++v) FItems->Add(FormatDataBits(static_cast<TDataBits>(v)));
      break;
    case cpStopBits:
      for (int v = sbOneStopBit; v <= sbTwoStopBits; ++v)
        FItems->Add(FormatStopBits(static_cast<TStopBits>(v)));
      break;
    case cpParity:
      for (int v = prNone; v <= prSpace; ++v) FItems->Add(FormatParity(static_cast<TParityBits>(v)));
      break;
    case cpFlowControl:
      for (int v = fcHardware; v <= fcCustom; ++v)
        FItems->Add(FormatFlowControl(static_cast<TFlowControl>(v)));
      break;
  }
}

void TComSelect::TakeSelectedText(const std::string& text) {
  switch (FComProperty) {
    case cpNone: break;
    case cpPort: ChosenPort = text; break;
    case cpBaudRate: ChosenBaudRate = ParseBaudRate(text); break;
    case cpDataBits: ChosenDataBits = ParseDataBits(text); break;
    case cpStopBits: ChosenStopBits = ParseStopBits(text); break;
    case cpParity: ChosenParity = ParseParity(text); break;
    case cpFlowControl: ChosenFlowControl = ParseFlowControl(text); break;
  }
  if (FAutoApply) ApplySelection();
}

void TComSelect::ApplySelection() {
  if (!FComPort) return;
  // Written every time, even when equal: what an unchanged value does is the
  // setter's business.
  switch (FComProperty) {
    case cpNone: break;
    case cpPort: FComPort->SetPort(ChosenPort); break;
    case cpBaudRate: FComPort->SetBaudRate(ChosenBaudRate); break;
    case cpDataBits: FComPort->SetDataBits(ChosenDataBits); break;
    case cpStopBits: FComPort->SetStopBits(ChosenStopBits); break;
    case cpParity: FComPort->Parity()->SetBits(ChosenParity); break;
    case cpFlowControl: FComPort->FlowControl()->SetFlowControl(ChosenFlowControl); break;
  }
}

int TComSelect::FindCurrentSetting() {
  if (!FComPort || FComProperty == cpNone || !FItems) return -1;
  std::string current;
  switch (FComProperty) {
    case cpNone: return -1;
    case cpPort: current = FComPort->Port(); break;
    case cpBaudRate: current = FormatBaudRate(FComPort->BaudRate()); break;
    case cpDataBits: current = FormatDataBits(FComPort->DataBits()); break;
    case cpStopBits: current = FormatStopBits(FComPort->StopBits()); break;
    case cpParity: current = FormatParity(FComPort->Parity()->Bits()); break;
    case cpFlowControl: current = FormatFlowControl(FComPort->FlowControl()->FlowControl()); break;
  }
  const int index = FItems->IndexOf(current);
  if (index < 0) return -1;  // the chosen value keeps what it held
  const std::string item = FItems->Strings(index);
  switch (FComProperty) {
    case cpNone: break;
    case cpPort: ChosenPort = item; break;  // as listed: com1 is chosen as COM1
    case cpBaudRate: ChosenBaudRate = ParseBaudRate(item); break;
    case cpDataBits: ChosenDataBits = ParseDataBits(item); break;
    case cpStopBits: ChosenStopBits = ParseStopBits(item); break;
    case cpParity: ChosenParity = ParseParity(item); break;
    case cpFlowControl: ChosenFlowControl = ParseFlowControl(item); break;
  }
  return index;
}

// ---------------------------------------------------------------------------
// TComComboBox

TComComboBox::TComComboBox(vcl::TComponent* owner)
    : vcl::TCustomComboBox(owner), FSelect(std::make_unique<TComSelect>()) {
  FSelect->SetItems(Items());
  SetStyle(vcl::csDropDownList);
}

TComComboBox::~TComComboBox() {
  // The list goes with the base; the selector must not reach it any more.
  DisconnectWidget();
  FSelect->SetItems(nullptr);
  if (TCustomComPort* port = FSelect->ComPort()) RemoveFreeNotification(port);
}

void TComComboBox::SetComProperty(TComProperty property) {
  FSelect->BindProperty(property);
  if (Items()->Count() == 0) return;
  if (FSelect->ComPort())
    SetItemIndex(FSelect->FindCurrentSetting());
  else
    SetItemIndex(0);
}

void TComComboBox::SetComPort(TCustomComPort* port) {
  TCustomComPort* old = FSelect->ComPort();
  if (port == old) return;
  if (old) RemoveFreeNotification(old);
  FSelect->SetComPort(port);
  if (port) {
    FreeNotification(port);
    ShowCurrentSetting();
  }
}

void TComComboBox::ApplySelection() { FSelect->ApplySelection(); }

void TComComboBox::ShowCurrentSetting() {
  // Without a port or a property nothing can be found; the selection stays.
  if (!FSelect->ComPort() || FSelect->ComProperty() == cpNone) return;
  SetItemIndex(FSelect->FindCurrentSetting());
}

void TComComboBox::Notification(vcl::TComponent* component, vcl::TOperation operation) {
  vcl::TCustomComboBox::Notification(component, operation);
  if (operation == vcl::TOperation::opRemove && component &&
      component == static_cast<vcl::TComponent*>(FSelect->ComPort())) {
    FSelect->SetComPort(nullptr);
    if (Items()->Count() > 0) SetItemIndex(0);
  }
}

void TComComboBox::Change() {
  FSelect->TakeSelectedText(Text());
  vcl::TCustomComboBox::Change();
}
