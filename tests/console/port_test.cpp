// Opening and closing the port, the DTR+RTS buttons, the error box, the
// description page and the close question.
#include "ConsoleTestSupport.h"

namespace console_test {
namespace {

using Port = ConsoleWindow;

TEST_F(Port, OpenButtonOpensAndClosesTheDeviceAndItsCaptionFollows) {
  Click(form_->Button_Open);
  EXPECT_TRUE(form_->ComPort->Connected());
  EXPECT_TRUE(device_->IsOpen());
  EXPECT_EQ(form_->Button_Open->Caption(), "Закрыть порт");

  Click(form_->Button_Open);
  EXPECT_FALSE(form_->ComPort->Connected());
  EXPECT_FALSE(device_->IsOpen());
  EXPECT_EQ(form_->Button_Open->Caption(), "Открыть порт");
  EXPECT_TRUE(ErrorBoxes().empty());
}

TEST_F(Port, CaptionFollowsThePortWhoeverOpensOrClosesIt) {
  form_->ComPort->OpenPort();
  EXPECT_EQ(form_->Button_Open->Caption(), "Закрыть порт");
  // A new name on an open port closes it and opens it again.
  auto other = win32::VirtualDevice::Register("COM6");
  std::vector<std::string> captions;
  form_->ComPort->OnBeforeOpen = vcl::TNotifyEvent(
      [&](vcl::TObject*) { captions.push_back(form_->Button_Open->Caption()); }, nullptr);
  form_->ComPort->SetPort("COM6");
  EXPECT_EQ(captions, std::vector<std::string>{"Открыть порт"});
  EXPECT_EQ(form_->Button_Open->Caption(), "Закрыть порт");
  EXPECT_TRUE(other->IsOpen());
  form_->ComPort->ClosePort();
  EXPECT_EQ(form_->Button_Open->Caption(), "Открыть порт");
  win32::VirtualDevice::Unregister("COM6");
}

TEST_F(Port, PortEventsAfterTheOpenButtonIsGoneLeaveTheCaptionAlone) {
  OpenPort();
  delete form_->Button_Open;
  EXPECT_EQ(form_->Button_Open, nullptr);
  form_->ComPort->ClosePort();
  EXPECT_FALSE(device_->IsOpen());
  form_->ComPort->OpenPort();
  EXPECT_TRUE(device_->IsOpen());

  // The window going away with the port open closes it the same way.
  delete form_;
  form_ = nullptr;
  EXPECT_FALSE(device_->IsOpen());
  EXPECT_TRUE(ErrorBoxes().empty());
}

TEST_F(Port, DtrRtsButtonsDriveTheLinesDtrFirstEachWithItsOwnUpdate) {
  OpenPort();
  const std::size_t before = device_->LineHistory().size();
  Click(form_->Button1);
  auto history = device_->LineHistory();
  ASSERT_EQ(history.size(), before + 2);
  EXPECT_TRUE(history[before].dtr);  // DTR first...
  EXPECT_FALSE(history[before].rts);
  EXPECT_TRUE(history[before + 1].dtr);  // ...then RTS
  EXPECT_TRUE(history[before + 1].rts);

  Click(form_->Button2);
  history = device_->LineHistory();
  ASSERT_EQ(history.size(), before + 4);
  EXPECT_FALSE(history[before + 2].dtr);
  EXPECT_TRUE(history[before + 2].rts);
  EXPECT_FALSE(history[before + 3].dtr);
  EXPECT_FALSE(history[before + 3].rts);
  EXPECT_TRUE(ErrorBoxes().empty());
}

TEST_F(Port, DtrRtsOnWhileClosedIsOnlyStoredAndTakesEffectAtTheNextOpen) {
  Click(form_->Button1);
  EXPECT_FALSE(device_->IsOpen());
  EXPECT_TRUE(device_->LineHistory().empty());
  EXPECT_EQ(form_->ComPort->FlowControl()->ControlDTR(), dtrEnable);
  EXPECT_EQ(form_->ComPort->FlowControl()->ControlRTS(), rtsEnable);

  OpenPort();
  EXPECT_TRUE(device_->DTR());
  EXPECT_TRUE(device_->RTS());
  EXPECT_TRUE(ErrorBoxes().empty());
}

TEST_F(Port, MissingDeviceShowsTheErrorBoxAndTheWindowStaysUsable) {
  win32::VirtualDevice::Unregister("COM5");
  form_->ComPort->SetPort("NO_SUCH_PORT");
  Click(form_->Button_Open);

  const auto boxes = ErrorBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].caption, "РОСТАНАР - TALVEN KORIM 300 ");
  EXPECT_EQ(boxes[0].type, vcl::mtError);
  EXPECT_EQ(boxes[0].buttons, vcl::TMsgDlgButtons{vcl::mbOK});
  // ')' sorts before '.': no full stop is added.
  EXPECT_EQ(boxes[0].text, "Unable to open com port (win error code: 2)");
  EXPECT_FALSE(form_->ComPort->Connected());
  EXPECT_EQ(form_->Button_Open->Caption(), "Открыть порт");

  // Still usable: the same button opens a device that is there.
  device_ = win32::VirtualDevice::Register("COM5");
  form_->ComPort->SetPort("COM5");
  Click(form_->Button_Open);
  EXPECT_TRUE(device_->IsOpen());
  EXPECT_EQ(form_->Button_Open->Caption(), "Закрыть порт");
  EXPECT_EQ(ErrorBoxes().size(), 1u);
}

TEST_F(Port, PictureButtonOpensTheDescriptionPage) {
  Click(form_->SpeedButton1);
  ASSERT_EQ(shell_.size(), 1u);
  const vcl::TShellExecuteRecord& call = shell_[0];
  EXPECT_EQ(call.owner, vcl::ApplicationHandle());
  EXPECT_EQ(call.operation, std::optional<std::string>("open"));
  ASSERT_TRUE(call.file.has_value());
  const std::string& url = *call.file;
  EXPECT_EQ(url.substr(0, 7), "http://");
  const std::string path = "/talven.htm";
  ASSERT_GT(url.size(), path.size());
  EXPECT_EQ(url.substr(url.size() - path.size()), path);
  const std::string host = url.substr(7, url.size() - 7 - path.size());
  EXPECT_EQ(host.substr(host.size() - 8), ".example");  // a reserved domain, no real company
  EXPECT_FALSE(call.parameters.has_value());
  EXPECT_FALSE(call.directory.has_value());
  EXPECT_EQ(call.showCommand, SW_HIDE);

  // A page that cannot be shown shows nothing either.
  shellSucceeds_ = false;
  Click(form_->SpeedButton1);
  EXPECT_EQ(shell_.size(), 2u);
  EXPECT_TRUE(dialogs_.empty());
}

TEST_F(Port, CloseQuestionAnsweredCancelChangesNothing) {
  OpenPort();
  answer_ = vcl::mrCancel;
  vcl::testing::CloseByUser(form_);
  vcl::testing::ProcessPending();

  ASSERT_EQ(dialogs_.size(), 1u);
  EXPECT_EQ(dialogs_[0].source, vcl::TDialogRecord::Source::MessageDlg);
  EXPECT_EQ(dialogs_[0].type, vcl::mtConfirmation);
  EXPECT_EQ(dialogs_[0].caption, "Confirm");
  EXPECT_EQ(dialogs_[0].buttons, (vcl::TMsgDlgButtons{vcl::mbOK, vcl::mbCancel}));
  EXPECT_EQ(dialogs_[0].helpContext, 0);
  // Two lines of notice, an empty line, the question.
  const std::string& text = dialogs_[0].text;
  const std::string question = "\r\n\r\nЗакрыть программу тестирования?";
  ASSERT_GT(text.size(), question.size());
  EXPECT_EQ(text.substr(text.size() - question.size()), question);
  const std::string notice = text.substr(0, text.size() - question.size());
  const std::size_t split = notice.find("\r\n");
  ASSERT_NE(split, std::string::npos);
  EXPECT_GT(split, 0u);
  EXPECT_EQ(notice.find("\r\n", split + 2), std::string::npos);
  EXPECT_GT(notice.size(), split + 2);

  EXPECT_TRUE(form_->Showing());
  EXPECT_TRUE(form_->ComPort->Connected());
  EXPECT_TRUE(device_->IsOpen());
  EXPECT_EQ(form_->Button_Open->Caption(), "Закрыть порт");
  EXPECT_FALSE(vcl::Application->Terminated());
}

TEST_F(Port, CloseQuestionAnsweredOkClosesThePortThenEndsTheProgram) {
  OpenPort();
  answer_ = vcl::mrOk;
  vcl::SetMainForm(form_);
  // What the window looks like when the port reports its close.
  std::string captionAtClose;
  bool endedAtClose = true;
  const vcl::TNotifyEvent original = form_->ComPort->OnAfterClose;
  form_->ComPort->OnAfterClose = vcl::TNotifyEvent(
      [&, original](vcl::TObject* sender) {
        original(sender);
        captionAtClose = form_->Button_Open->Caption();
        endedAtClose = vcl::Application->Terminated();
      },
      nullptr);
  vcl::TTimer closer(nullptr);
  closer.SetInterval(1);
  closer.SetOnTimer(vcl::TNotifyEvent(
      [&](vcl::TObject*) {
        closer.SetEnabled(false);
        vcl::testing::CloseByUser(form_);
      },
      nullptr));

  // The real loop: it ends when the main window has closed and frees it.
  vcl::RunApplication();
  form_ = nullptr;

  EXPECT_EQ(dialogs_.size(), 1u);
  EXPECT_EQ(captionAtClose, "Открыть порт");
  EXPECT_FALSE(endedAtClose);
  EXPECT_TRUE(vcl::Application->Terminated());
  EXPECT_FALSE(device_->IsOpen());
  EXPECT_EQ(vcl::MainForm(), nullptr);

  // The next test gets a fresh application object.
  delete vcl::Application;
  vcl::InitializeApplication();
}

}  // namespace
}  // namespace console_test
