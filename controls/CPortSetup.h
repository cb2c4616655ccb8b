// Unit CPortSetup: the port settings dialog.
//
// TComSetupFrm shows the port name, speed, data bits, stop bits, parity and
// flow control of a port, one TComComboBox each; EditPortSettings runs it
// for a port and writes the choice back in one settings update.
// User-interface thread only.
#pragma once

#include "CPort.h"
#include "CPortCtl.h"
#include "Forms.h"
#include "StdCtrls.h"

class TComSetupFrm : public vcl::TForm {
 public:
  // Reads the dialog's stored layout. Raises EReadError when the layout
  // cannot be read (for example when the port list cannot be read:
  // "Error reading Combo1.ComProperty: Registry error ...").
  explicit TComSetupFrm(vcl::TComponent* owner);
  const vcl::TClassInfo* ClassInfo() const override;
  static const vcl::TClassInfo* StaticClassInfo();

  vcl::TButton* Button1 = nullptr;
  vcl::TButton* Button2 = nullptr;
  vcl::TGroupBox* GroupBox1 = nullptr;
  vcl::TLabel* Label1 = nullptr;
  vcl::TLabel* Label2 = nullptr;
  vcl::TLabel* Label3 = nullptr;
  vcl::TLabel* Label4 = nullptr;
  vcl::TLabel* Label5 = nullptr;
  vcl::TLabel* Label6 = nullptr;
  TComComboBox* Combo2 = nullptr;
  TComComboBox* Combo3 = nullptr;
  TComComboBox* Combo4 = nullptr;
  TComComboBox* Combo5 = nullptr;
  TComComboBox* Combo6 = nullptr;
  TComComboBox* Combo1 = nullptr;
};

// Shows the settings of `port` in a modal dialog; after OK writes the port
// name, then speed, data bits, stop bits, parity and flow control inside one
// BeginSettingsUpdate/EndSettingsUpdate. An exception of a setter leaves
// here after the update hold has been released and the dialog freed.
void EditPortSettings(TCustomComPort* port);

