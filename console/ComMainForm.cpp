#include "ComMainForm.h"

#include "CodePage.h"
#include "Dialogs.h"
#include "RegisterConsoleResources.h"
#include "ShellApi.h"

TForm1* Form1 = nullptr;

namespace console {

const char* const kApplicationTitle = "РОСТАНАР - TALVEN KORIM 300 ";
const char* const kDescriptionUrl = "http://www.rostanar.example/talven.htm";

std::string CloseQuestion() {
  return "Программа является собственностью ООО НПО \"Ростанар\".\r\n"
         "Копирование и передача третьим лицам без разрешения запрещены.\r\n"
         "\r\n"
         "Закрыть программу тестирования?";
}

}  // namespace console

const vcl::TClassInfo* TForm1::StaticClassInfo() {
  static const vcl::TClassInfo info = [] {
    vcl::TClassInfo i("TForm1", vcl::TForm::StaticClassInfo());
    i.Add(vcl::PublishedMethod("Button_OpenClick", &TForm1::Button_OpenClick));
    i.Add(vcl::PublishedMethod("Button_SettingsClick", &TForm1::Button_SettingsClick));
    i.Add(vcl::PublishedMethod("ComPortOpen", &TForm1::ComPortOpen));
    i.Add(vcl::PublishedMethod("ComPortClose", &TForm1::ComPortClose));
    i.Add(vcl::PublishedMethod("Button1Click", &TForm1::Button1Click));
    i.Add(vcl::PublishedMethod("Button2Click", &TForm1::Button2Click));
    i.Add(vcl::PublishedMethod("SpeedButton1Click", &TForm1::SpeedButton1Click));
    i.Add(vcl::PublishedMethod("FormClose", &TForm1::FormClose));
    i.Add(vcl::PublishedMethod("Button_SendClick", &TForm1::Button_SendClick));
    i.Add(vcl::PublishedMethod("ComPortRxChar", &TForm1::ComPortRxChar));
    return i;
  }();
  return &info;
}

const vcl::TClassInfo* TForm1::ClassInfo() const { return StaticClassInfo(); }

TForm1::TForm1(vcl::TComponent* owner) : vcl::TForm(owner) {
  RegisterEngineClasses();
  RegisterControlClasses();
  RegisterConsoleResources();
  ReadLayout("ComMainForm");
}

TForm1::~TForm1() {
  // The components go while the handlers they may still call are whole
  // (an open port closes and reports it on its way out).
  BeforeDestruction();
}

void TForm1::Loaded() {
  // The form is the first component of its layout to be loaded: its fields
  // are bound before any component's Loaded can run a handler.
  vcl::TForm::Loaded();
  BindComponent(ComPort, "ComPort");
  BindComponent(Memo, "Memo");
  BindComponent(Button_Open, "Button_Open");
  BindComponent(Button_Settings, "Button_Settings");
  BindComponent(Edit_Data, "Edit_Data");
  BindComponent(Button_Send, "Button_Send");
  BindComponent(NewLine_CB, "NewLine_CB");
  BindComponent(Panel1, "Panel1");
  BindComponent(ComLed1, "ComLed1");
  BindComponent(ComLed2, "ComLed2");
  BindComponent(ComLed3, "ComLed3");
  BindComponent(ComLed4, "ComLed4");
  BindComponent(Label2, "Label2");
  BindComponent(Label3, "Label3");
  BindComponent(Label4, "Label4");
  BindComponent(Label5, "Label5");
  BindComponent(ComLed5, "ComLed5");
  BindComponent(ComLed6, "ComLed6");
  BindComponent(Label1, "Label1");
  BindComponent(Label6, "Label6");
  BindComponent(Button1, "Button1");
  BindComponent(Button2, "Button2");
  BindComponent(Label7, "Label7");
  BindComponent(GroupBox1, "GroupBox1");
  BindComponent(Label8, "Label8");
  BindComponent(SpeedButton1, "SpeedButton1");
}

void TForm1::Button_OpenClick(vcl::TObject*) {
  if (ComPort->Connected())
    ComPort->ClosePort();
  else
    ComPort->OpenPort();
}

// The dialog works on an open or a closed port alike.
void TForm1::Button_SettingsClick(vcl::TObject*) { ComPort->ShowSettingsDialog(); }

void TForm1::ComPortOpen(vcl::TObject*) {
  // The port can outlive the button (the window is being torn down).
  if (Button_Open) Button_Open->SetCaption("Закрыть порт");
}

void TForm1::ComPortClose(vcl::TObject*) {
  if (Button_Open) Button_Open->SetCaption("Открыть порт");
}

// Two property writes: on an open port each one re-applies the line
// settings, so DTR changes before RTS.
void TForm1::Button1Click(vcl::TObject*) {
  ComPort->FlowControl()->SetControlDTR(dtrEnable);
  ComPort->FlowControl()->SetControlRTS(rtsEnable);
}

void TForm1::Button2Click(vcl::TObject*) {
  ComPort->FlowControl()->SetControlDTR(dtrDisable);
  ComPort->FlowControl()->SetControlRTS(rtsDisable);
}

void TForm1::SpeedButton1Click(vcl::TObject*) {
  // The result is not examined: a page that cannot be shown shows nothing.
  ShellExecuteA(vcl::ApplicationHandle(), "open", console::kDescriptionUrl, nullptr, nullptr, SW_HIDE);
}

void TForm1::FormClose(vcl::TObject*, vcl::TCloseAction& Action) {
  if (vcl::MessageDlg(console::CloseQuestion(), vcl::mtConfirmation, {vcl::mbOK, vcl::mbCancel}, 0) ==
      vcl::mrOk) {
    if (ComPort->Connected()) ComPort->ClosePort();
    Action = vcl::caFree;
  } else {
    Action = vcl::caNone;
  }
}

void TForm1::Button_SendClick(vcl::TObject*) {
  // The line goes out in the modem's code page.
  std::string line = vcl::Utf8ToCp1251(Edit_Data->Text());
  if (NewLine_CB->Checked()) line += "\r\n";
  ComPort->SendText(line);
}

void TForm1::ComPortRxChar(vcl::TObject*, int Count) {
  std::string received;
  ComPort->ReceiveText(received, Count);
  // The log only ever grows by what arrived: appending the new bytes
  // is the same as writing back the whole text with them added, at the
  // cost of the new bytes alone.
  Memo->AppendText(vcl::Cp1251ToUtf8(received));
}
