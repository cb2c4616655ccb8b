// Unit ComMainForm: the main window of the test console.
//
// The window holds the port, opens and closes it, sends command lines and
// appends what the modem answers to the log. Everything here runs on the
// user-interface thread; the port delivers its events there (smThreadSync).
#pragma once

#include <string>

#include "Buttons.h"
#include "CPort.h"
#include "CPortCtl.h"
#include "ExtCtrls.h"
#include "Forms.h"
#include "StdCtrls.h"

class TForm1 : public vcl::TForm {
 public:
  // Builds the window from its layout; the port stays closed.
  explicit TForm1(vcl::TComponent* owner);
  ~TForm1() override;

  const vcl::TClassInfo* ClassInfo() const override;
  static const vcl::TClassInfo* StaticClassInfo();

  // Components, in declaration order. Each is cleared when its component
  // is destroyed.
  TComPort* ComPort = nullptr;
  vcl::TMemo* Memo = nullptr;
  vcl::TButton* Button_Open = nullptr;
  vcl::TButton* Button_Settings = nullptr;
  vcl::TEdit* Edit_Data = nullptr;
  vcl::TButton* Button_Send = nullptr;
  vcl::TCheckBox* NewLine_CB = nullptr;
  vcl::TPanel* Panel1 = nullptr;
  TComLed* ComLed1 = nullptr;
  TComLed* ComLed2 = nullptr;
  TComLed* ComLed3 = nullptr;
  TComLed* ComLed4 = nullptr;
  vcl::TLabel* Label2 = nullptr;
  vcl::TLabel* Label3 = nullptr;
  vcl::TLabel* Label4 = nullptr;
  vcl::TLabel* Label5 = nullptr;
  TComLed* ComLed5 = nullptr;
  TComLed* ComLed6 = nullptr;
  vcl::TLabel* Label1 = nullptr;
  vcl::TLabel* Label6 = nullptr;
  vcl::TButton* Button1 = nullptr;
  vcl::TButton* Button2 = nullptr;
  vcl::TLabel* Label7 = nullptr;
  vcl::TGroupBox* GroupBox1 = nullptr;
  vcl::TLabel* Label8 = nullptr;
  vcl::TSpeedButton* SpeedButton1 = nullptr;

  // Handlers, bound by name from the layout.
  void Button_OpenClick(vcl::TObject* Sender);
  void Button_SettingsClick(vcl::TObject* Sender);
  void ComPortOpen(vcl::TObject* Sender);
  void ComPortClose(vcl::TObject* Sender);
  void Button1Click(vcl::TObject* Sender);
  void Button2Click(vcl::TObject* Sender);
  void SpeedButton1Click(vcl::TObject* Sender);
  void FormClose(vcl::TObject* Sender, vcl::TCloseAction& Action);
  void Button_SendClick(vcl::TObject* Sender);
  void ComPortRxChar(vcl::TObject* Sender, int Count);

 protected:
  void Loaded() override;
};

// The application's main window.
extern TForm1* Form1;

namespace console {

// The application title: the task bar's label and the error boxes' caption.
extern const char* const kApplicationTitle;
// The page SpeedButton1 opens.
extern const char* const kDescriptionUrl;
// The question asked before the window closes.
std::string CloseQuestion();

}  // namespace console
