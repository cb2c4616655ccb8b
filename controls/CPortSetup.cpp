// The port settings dialog and TCustomComPort::ShowSettingsDialog (defined
// here, not in the engine, so that the engine does not depend on the
// controls). User-interface thread only.
#include "CPortSetup.h"

#include <memory>

TComSetupFrm::TComSetupFrm(vcl::TComponent* owner) : vcl::TForm(owner) {
  RegisterControlClasses();
  ReadLayout("ComSetupFrm");
  BindComponent(Button1, "Button1");
  BindComponent(Button2, "Button2");
  BindComponent(GroupBox1, "GroupBox1");
  BindComponent(Label1, "Label1");
  BindComponent(Label2, "Label2");
  BindComponent(Label3, "Label3");
  BindComponent(Label4, "Label4");
  BindComponent(Label5, "Label5");
  BindComponent(Label6, "Label6");
  BindComponent(Combo2, "Combo2");
  BindComponent(Combo3, "Combo3");
  BindComponent(Combo4, "Combo4");
  BindComponent(Combo5, "Combo5");
  BindComponent(Combo6, "Combo6");
  BindComponent(Combo1, "Combo1");
}

const vcl::TClassInfo* TComSetupFrm::StaticClassInfo() {
  static const vcl::TClassInfo info("TComSetupFrm", vcl::TForm::StaticClassInfo());
  return &info;
}

const vcl::TClassInfo* TComSetupFrm::ClassInfo() const { return StaticClassInfo(); }

void EditPortSettings(TCustomComPort* port) {
  // Released on every path, the exceptional ones included.
  auto dialog = std::make_unique<TComSetupFrm>(nullptr);
  TComComboBox* const combos[] = {dialog->Combo1, dialog->Combo2, dialog->Combo3,
                                  dialog->Combo4, dialog->Combo5, dialog->Combo6};
  for (TComComboBox* combo : combos) combo->SetComPort(port);
  for (TComComboBox* combo : combos) combo->ShowCurrentSetting();
  if (dialog->ShowModal() != vcl::mrOk) return;

  port->BeginSettingsUpdate();
  try {
    // Port name first: a new name reopens an open port before the line
    // settings are stored, and the hold's end applies them all at once.
    // A port box showing nothing was left untouched on a name the list
    // does not hold (a port opened by path, a device not plugged in now):
    // OK without a pick keeps that name instead of blanking it.
    for (TComComboBox* combo : combos)
      if (combo != dialog->Combo1 || combo->ItemIndex() >= 0) combo->ApplySelection();
  } catch (...) {
    // A port left inside a hold would never apply a setting again: release
    // it, and report the setter's error rather than a later one.
    try {
      port->EndSettingsUpdate();
    } catch (...) {
    }
    throw;
  }
  port->EndSettingsUpdate();
}

void TCustomComPort::ShowSettingsDialog() { EditPortSettings(this); }
