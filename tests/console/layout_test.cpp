// The window as it comes up: the layout's controls, texts and settings, and
// the port's stored settings, before anything has been pressed.
#include "ConsoleTestSupport.h"

namespace console_test {
namespace {

using Layout = ConsoleWindow;

struct ControlRow {
  const char* name;
  const char* className;
  const char* parent;
  int left, top, width, height;
  const char* caption;  // nullptr: not checked here (the note, the memo)
  int tabOrder;         // -1: not in the tab order (graphic controls)
};

// Every control of the window: class, parent, place, size, text, tab order.
const ControlRow kControls[] = {
    {"Memo", "TMemo", "Form1", 0, 0, 505, 297, "", 0},
    {"Button_Open", "TButton", "Form1", 536, 8, 129, 25, "Открыть порт", 1},
    {"Button_Settings", "TButton", "Form1", 536, 32, 129, 25, "Настройки порта", 2},
    {"Button1", "TButton", "Form1", 536, 72, 129, 25, "DTR+RTS - ON", 7},
    {"Button2", "TButton", "Form1", 536, 104, 129, 25, "DTR+RTS - OFF", 8},
    {"Label7", "TLabel", "Form1", 544, 144, 95, 13, "Командная строка", -1},
    {"Edit_Data", "TEdit", "Form1", 536, 160, 121, 21, "", 3},
    {"Button_Send", "TButton", "Form1", 560, 184, 75, 25, "Отправить", 4},
    {"NewLine_CB", "TCheckBox", "Form1", 528, 208, 137, 17, "Переводить каретку", 5},
    {"Panel1", "TPanel", "Form1", 512, 240, 185, 57, "", 6},
    {"GroupBox1", "TGroupBox", "Form1", 0, 296, 697, 105, "Примечание", 9},
    {"Label8", "TLabel", "GroupBox1", 8, 16, 676, 78, nullptr, -1},
    {"SpeedButton1", "TSpeedButton", "GroupBox1", 656, 64, 31, 33, "", -1},
    // The signal panel.
    {"ComLed1", "TComLed", "Panel1", 0, 8, 25, 25, nullptr, -1},
    {"ComLed2", "TComLed", "Panel1", 32, 8, 25, 25, nullptr, -1},
    {"ComLed3", "TComLed", "Panel1", 64, 8, 25, 25, nullptr, -1},
    {"ComLed4", "TComLed", "Panel1", 104, 8, 25, 25, nullptr, -1},
    {"ComLed5", "TComLed", "Panel1", 136, 8, 25, 25, nullptr, -1},
    {"ComLed6", "TComLed", "Panel1", 160, 8, 25, 25, nullptr, -1},
    {"Label2", "TLabel", "Panel1", 3, 31, 21, 13, "CTS", -1},
    {"Label3", "TLabel", "Panel1", 32, 32, 23, 13, "DSR", -1},
    {"Label4", "TLabel", "Panel1", 64, 32, 29, 13, "RLSD", -1},
    {"Label5", "TLabel", "Panel1", 104, 32, 22, 13, "Ring", -1},
    {"Label1", "TLabel", "Panel1", 142, 32, 12, 13, "Tx", -1},
    {"Label6", "TLabel", "Panel1", 166, 32, 13, 13, "Rx", -1},
};

TEST_F(Layout, EveryControlHasItsClassParentPlaceSizeTextAndTabOrder) {
  for (const ControlRow& row : kControls) {
    SCOPED_TRACE(row.name);
    auto* control = dynamic_cast<vcl::TControl*>(form_->FindComponent(row.name));
    ASSERT_NE(control, nullptr);
    EXPECT_EQ(control->ClassName(), row.className);
    ASSERT_NE(control->Parent(), nullptr);
    EXPECT_EQ(control->Parent()->Name(), row.parent);
    EXPECT_EQ(control->Owner(), form_);
    EXPECT_EQ(control->Left(), row.left);
    EXPECT_EQ(control->Top(), row.top);
    if (auto* label = dynamic_cast<vcl::TLabel*>(control); label && label->AutoSize()) {
      // An auto-sized label may grow to show its caption in the stand-in font.
      EXPECT_GE(control->Width(), row.width);
    } else {
      EXPECT_EQ(control->Width(), row.width);
    }
    EXPECT_EQ(control->Height(), row.height);
    if (row.caption) {
      EXPECT_EQ(control->Caption(), row.caption);
    }
    auto* windowed = dynamic_cast<vcl::TWinControl*>(control);
    EXPECT_EQ(windowed ? windowed->TabOrder() : -1, row.tabOrder);
    EXPECT_TRUE(control->Showing());
  }
  // The controls sit where the table says on the screen too.
  EXPECT_EQ(vcl::testing::Grab(form_->GroupBox1)->Width(), 697);
}

TEST_F(Layout, WindowIsAFixedToolWindowOfTheGivenClientSizeAndPlace) {
  EXPECT_EQ(form_->Name(), "Form1");
  EXPECT_EQ(form_->ClassName(), "TForm1");
  EXPECT_EQ(form_->Caption(),
            "ООО НПО \"Ростанар\" - Программа для тестирования терминалов TALVEN KORIM 300");
  EXPECT_EQ(form_->BorderStyle(), vcl::bsToolWindow);
  EXPECT_TRUE(form_->AutoSize());
  EXPECT_EQ(form_->ClientWidth(), 697);
  EXPECT_EQ(form_->ClientHeight(), 401);
  EXPECT_EQ(form_->Left(), 191);
  EXPECT_EQ(form_->Top(), 107);
  EXPECT_EQ(form_->Position(), vcl::poDesigned);
  EXPECT_EQ(form_->Color(), vcl::clBtnFace);
  EXPECT_EQ(form_->Font()->Name(), "MS Sans Serif");
  EXPECT_EQ(form_->Font()->Height(), -11);
  EXPECT_TRUE(form_->OnClose.Assigned());
  // The tab order runs through the form's controls as the table numbers them.
  std::vector<std::string> order;
  for (vcl::TWinControl* c : form_->TabList()) order.push_back(c->Name());
  EXPECT_EQ(order, (std::vector<std::string>{"Memo", "Button_Open", "Button_Settings", "Edit_Data",
                                             "Button_Send", "NewLine_CB", "Panel1", "Button1",
                                             "Button2", "GroupBox1"}));
}

TEST_F(Layout, StartsClosedWithAnEmptyCommandLineAndCarriageReturnTicked) {
  EXPECT_FALSE(form_->ComPort->Connected());
  EXPECT_FALSE(device_->IsOpen());
  EXPECT_EQ(form_->Button_Open->Caption(), "Открыть порт");
  EXPECT_EQ(form_->Edit_Data->Text(), "");
  EXPECT_TRUE(form_->NewLine_CB->Checked());
  EXPECT_EQ(form_->Memo->Text(), "");
  EXPECT_TRUE(form_->Memo->ReadOnly());
  EXPECT_EQ(form_->Memo->ScrollBars(), vcl::ssBoth);
  EXPECT_TRUE(form_->Button_Send->Default());
  EXPECT_EQ(form_->DefaultButton(), form_->Button_Send);
  EXPECT_EQ(form_->Panel1->BevelInner(), vcl::bvRaised);
  EXPECT_EQ(form_->Panel1->BevelOuter(), vcl::bvLowered);
  EXPECT_TRUE(dialogs_.empty());
}

TEST_F(Layout, PortKeepsItsStoredSettings) {
  TComPort* port = form_->ComPort;
  EXPECT_EQ(port->BaudRate(), br115200);
  EXPECT_EQ(port->Port(), "COM5");
  EXPECT_EQ(port->Parity()->Bits(), prNone);
  EXPECT_EQ(port->StopBits(), sbOneStopBit);
  EXPECT_EQ(port->DataBits(), dbEight);
  EXPECT_TRUE(port->DiscardNull());
  EXPECT_EQ(port->Events(), (TComEvents{evRxChar, evTxEmpty, evRxFlag, evRing, evBreak, evCTS, evDSR,
                                        evError, evRLSD, evRx80Full}));
  EXPECT_FALSE(port->FlowControl()->OutCTSFlow());
  EXPECT_FALSE(port->FlowControl()->OutDSRFlow());
  EXPECT_EQ(port->FlowControl()->ControlDTR(), dtrDisable);
  EXPECT_EQ(port->FlowControl()->ControlRTS(), rtsDisable);
  EXPECT_FALSE(port->FlowControl()->XonXoffOut());
  EXPECT_FALSE(port->FlowControl()->XonXoffIn());
  EXPECT_EQ(port->SyncMethod(), smThreadSync);
  EXPECT_TRUE(port->OnAfterOpen.Assigned());
  EXPECT_TRUE(port->OnAfterClose.Assigned());
  EXPECT_TRUE(port->OnRxChar.Assigned());
  EXPECT_EQ(port->OnAfterOpen.Data(), form_);
  // Everything else keeps the constructor's values.
  EXPECT_EQ(port->EventChar(), '\0');
  EXPECT_EQ(port->Buffer()->InputSize(), 1024);
  EXPECT_EQ(port->Timeouts()->WriteTotalConstant(), 1000);
  EXPECT_FALSE(port->OnTxEmpty.Assigned());
}

TEST_F(Layout, NoteHasItsSixLines) {
  const std::string note = form_->Label8->Caption();
  std::vector<std::string> lines;
  for (std::size_t start = 0;;) {
    const std::size_t end = note.find("\r\n", start);
    lines.push_back(note.substr(start, end - start));
    if (end == std::string::npos) break;
    start = end + 2;
  }
  ASSERT_EQ(lines.size(), 6u);
  EXPECT_EQ(lines[0],
            "  Для запуска модема установите в настройках скорость порта 115200бод/сек, выберите "
            "номер COM порта, к которому подключен");
  EXPECT_EQ(lines[1],
            "модем. Нажмите кнопку \"Открыть порт\". Если линии DTR и RTS активируются по "
            "умолчанию, то модем сразу же перейдет врежим");
  EXPECT_EQ(lines[2],
            "\"OnLine\", при этом будет гореть/мигать индикатор состояния сети GSM на модеме и "
            "активна линия CTS. В противном сучае  линии");
  EXPECT_EQ(lines[3], "DTR и RTS необходимо активировать в ручную нажав кнопку \"DTR+RTS - ON\". ");
  EXPECT_EQ(lines[4],
            "  Для аппаратной перезагрузки модема необходимо снять сигналы с линий DTR и RTS, а "
            "затем установить снова. ");
  const std::string support = "  Если возникли вопросы, за поддержкой обращайтесь на Е-майл: ";
  ASSERT_EQ(lines[5].substr(0, support.size()), support);
  const std::string address = lines[5].substr(support.size());
  EXPECT_NE(address.find('@'), std::string::npos);
  EXPECT_EQ(address.substr(address.size() - 8), ".example");
}

TEST_F(Layout, PictureButtonShowsItsHintAndATransparentGlyph) {
  vcl::TSpeedButton* button = form_->SpeedButton1;
  EXPECT_TRUE(button->Flat());
  EXPECT_EQ(button->Caption(), "");
  EXPECT_EQ(vcl::testing::HoverHint(button), "Подробное OnLine описание  работы с TALVEN KORIM 300");
  vcl::TBitmap* glyph = button->Glyph();
  ASSERT_FALSE(glyph->Empty());
  EXPECT_EQ(glyph->Width(), 32);
  EXPECT_EQ(glyph->Height(), 32);
  EXPECT_TRUE(glyph->Transparent());
  // Light grey around the tile is the transparent colour: the group box's
  // colour shows through at the button's corner, the tile at its centre.
  const vcl::TColor background = glyph->TransparentColor();
  EXPECT_EQ(background, glyph->Canvas()->Pixel(0, 0));
  const auto shot = vcl::testing::Grab(button);
  const vcl::TColor corner = shot->Canvas()->Pixel(shot->Width() / 2 - 15, shot->Height() / 2 + 15);
  EXPECT_NE(corner, background);
  EXPECT_EQ(corner, vcl::ColorToRGB(vcl::clBtnFace));
  EXPECT_NE(shot->Canvas()->Pixel(shot->Width() / 2, shot->Height() / 2 - 6), vcl::ColorToRGB(vcl::clBtnFace));
}

}  // namespace
}  // namespace console_test
