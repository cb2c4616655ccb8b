// Forms: closing with its actions, modal showing, deferred release, the
// default and cancel buttons, and the guard that turns an exception in a
// handler into the error box.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "Dialogs.h"
#include "ExtCtrls.h"
#include "Forms.h"
#include "ShellApi.h"
#include "StdCtrls.h"
#include "UiTesting.h"

namespace {

// Tells whether a component still exists (free notification).
class TWatch : public vcl::TComponent {
 public:
  explicit TWatch(vcl::TComponent* watched) : TComponent(nullptr) { watched->FreeNotification(this); }
  bool gone = false;

 protected:
  void Notification(vcl::TComponent* component, vcl::TOperation operation) override {
    TComponent::Notification(component, operation);
    if (operation == vcl::TOperation::opRemove) gone = true;
  }
};

class Forms : public ::testing::Test {
 protected:
  void SetUp() override {
    vcl::InitializeApplication();
    vcl::Application->SetTitle("Title");
    previous_ = vcl::SetDialogHook([this](const vcl::TDialogRecord& r) {
      boxes_.push_back(r);
      return answer_;
    });
    form_ = new vcl::TForm(vcl::Application);
    form_->SetName("Dialog");
    form_->SetClientWidth(240);
    form_->SetClientHeight(120);
    edit_ = Make<vcl::TEdit>("Edit", 8, 8);
    memo_ = Make<vcl::TMemo>("Memo", 8, 40);
    ok_ = Make<vcl::TButton>("Ok", 150, 8);
    ok_->SetDefault(true);
    ok_->SetModalResult(vcl::mrOk);
    cancel_ = Make<vcl::TButton>("Cancel", 150, 40);
    cancel_->SetCancel(true);
    cancel_->SetModalResult(vcl::mrCancel);
    for (vcl::TButton* b : {ok_, cancel_})
      b->OnClick = vcl::TNotifyEvent([this](vcl::TObject* s) { clicked_.push_back(static_cast<vcl::TButton*>(s)); }, this);
  }
  void TearDown() override {
    delete form_;
    vcl::testing::ProcessPending();
    vcl::SetDialogHook(std::move(previous_));
  }
  template <class T>
  T* Make(const char* name, int left, int top) {
    auto* c = new T(form_);
    c->SetName(name);
    c->SetParent(form_);
    c->SetLeft(left);
    c->SetTop(top);
    c->SetHeight(25);
    return c;
  }

  vcl::TForm* form_ = nullptr;
  vcl::TEdit* edit_ = nullptr;
  vcl::TMemo* memo_ = nullptr;
  vcl::TButton* ok_ = nullptr;
  vcl::TButton* cancel_ = nullptr;
  std::vector<vcl::TButton*> clicked_;
  std::vector<vcl::TDialogRecord> boxes_;
  vcl::TModalResult answer_ = vcl::mrOk;

 private:
  vcl::TDialogHook previous_;
};

TEST_F(Forms, CloseActionDecidesWhatHappensToTheForm) {
  vcl::TCloseAction action = vcl::caNone;
  form_->OnClose = vcl::TCloseEvent([&](vcl::TObject*, vcl::TCloseAction& a) { a = action; }, nullptr);
  form_->Show();

  action = vcl::caNone;
  vcl::testing::CloseByUser(form_);
  EXPECT_TRUE(form_->Showing());

  action = vcl::caHide;
  vcl::testing::CloseByUser(form_);
  EXPECT_FALSE(form_->Showing());

  // caFree releases the form once control is back in the loop, not at once.
  form_->Show();
  TWatch watch(form_);
  action = vcl::caFree;
  vcl::testing::CloseByUser(form_);
  EXPECT_FALSE(watch.gone);
  vcl::testing::ProcessPending();
  EXPECT_TRUE(watch.gone);
  form_ = nullptr;
}

TEST_F(Forms, ReleaseFromTheFormsOwnHandlerIsSafe) {
  TWatch watch(form_);
  ok_->OnClick = vcl::TNotifyEvent([this](vcl::TObject*) { form_->Release(); form_->Release(); }, nullptr);
  form_->Show();
  ASSERT_TRUE(vcl::testing::ClickControl(ok_));
  EXPECT_FALSE(watch.gone);
  vcl::testing::ProcessPending();
  EXPECT_TRUE(watch.gone);
  form_ = nullptr;
}

TEST_F(Forms, OnDestroyRunsOnceWhileTheComponentsAreStillThere) {
  int calls = 0;
  bool editThere = false;
  form_->OnDestroy = vcl::TNotifyEvent(
      [&](vcl::TObject* sender) {
        ++calls;
        editThere = static_cast<vcl::TForm*>(sender)->FindComponent("Edit") != nullptr;
      },
      nullptr);
  delete form_;
  form_ = nullptr;
  EXPECT_EQ(calls, 1);
  EXPECT_TRUE(editThere);
}

TEST_F(Forms, ShowModalReturnsTheResultOfTheButtonThatEndedIt) {
  vcl::testing::WhenModal([this](vcl::TForm* shown) {
    EXPECT_EQ(shown, form_);
    EXPECT_TRUE(form_->Modal());
    vcl::testing::ClickControl(ok_);
  });
  EXPECT_EQ(form_->ShowModal(), vcl::mrOk);
  EXPECT_FALSE(form_->Showing());
  EXPECT_FALSE(form_->Modal());
  EXPECT_EQ(clicked_, std::vector<vcl::TButton*>{ok_});

  // The close box ends it with Cancel.
  vcl::testing::WhenModal([](vcl::TForm* shown) { vcl::testing::CloseByUser(shown); });
  EXPECT_EQ(form_->ShowModal(), vcl::mrCancel);
}

TEST_F(Forms, ModalFormThatRefusesToCloseStaysUp) {
  int asked = 0;
  form_->OnClose = vcl::TCloseEvent(
      [&](vcl::TObject*, vcl::TCloseAction& a) {
        if (++asked == 1) a = vcl::caNone;
      },
      nullptr);
  // Cancel is refused; a moment later, still up, OK is accepted.
  vcl::TTimer later(nullptr);
  later.SetEnabled(false);
  later.SetInterval(1);
  later.SetOnTimer(vcl::TNotifyEvent(
      [&](vcl::TObject*) {
        later.SetEnabled(false);
        EXPECT_TRUE(form_->Showing());
        EXPECT_EQ(form_->ModalResult(), vcl::mrNone);
        vcl::testing::ClickControl(ok_);
      },
      nullptr));
  vcl::testing::WhenModal([&](vcl::TForm*) {
    vcl::testing::ClickControl(cancel_);
    later.SetEnabled(true);
  });
  EXPECT_EQ(form_->ShowModal(), vcl::mrOk);
  EXPECT_EQ(asked, 2);
}

TEST_F(Forms, ShowModalRefusesAFormAlreadyShown) {
  form_->Show();
  EXPECT_THROW(form_->ShowModal(), vcl::EInvalidOperation);
}

TEST_F(Forms, EnterPressesTheDefaultButtonUnlessTheControlUsesEnter) {
  form_->Show();
  vcl::testing::PressKey(edit_, vcl::testing::Key::Return);
  EXPECT_EQ(clicked_, std::vector<vcl::TButton*>{ok_});

  // A memo takes Enter itself.
  vcl::testing::PressKey(memo_, vcl::testing::Key::Return);
  EXPECT_EQ(clicked_.size(), 1u);

  // A focused button takes Enter itself; Esc presses the cancel button.
  vcl::testing::PressKey(cancel_, vcl::testing::Key::Return);
  vcl::testing::PressKey(edit_, vcl::testing::Key::Escape);
  EXPECT_EQ(clicked_, (std::vector<vcl::TButton*>{ok_, cancel_, cancel_}));

  // A disabled default button is not pressed.
  ok_->SetEnabled(false);
  vcl::testing::PressKey(edit_, vcl::testing::Key::Return);
  EXPECT_EQ(clicked_.size(), 3u);
}

struct MessageRow {
  const char* raised;
  const char* shown;
};

TEST_F(Forms, ExceptionInAHandlerShowsTheErrorBoxAndTheLoopGoesOn) {
  // A full stop is added when the last character sorts after '.'.
  const MessageRow table[] = {
      {"Boom", "Boom."},
      {"Unable to open com port (win error code: 2)", "Unable to open com port (win error code: 2)"},
      {"Already a sentence.", "Already a sentence."},
      {"Ошибка", "Ошибка."},
      {"Done!", "Done!"},
  };
  std::string message;
  ok_->OnClick = vcl::TNotifyEvent([&](vcl::TObject*) { throw vcl::Exception(message); }, nullptr);
  form_->Show();
  for (const auto& row : table) {
    SCOPED_TRACE(row.raised);
    message = row.raised;
    boxes_.clear();
    ASSERT_TRUE(vcl::testing::ClickControl(ok_));
    ASSERT_EQ(boxes_.size(), 1u);
    EXPECT_EQ(boxes_[0].source, vcl::TDialogRecord::Source::Exception);
    EXPECT_EQ(boxes_[0].caption, "Title");
    EXPECT_EQ(boxes_[0].type, vcl::mtError);
    EXPECT_EQ(boxes_[0].buttons, vcl::TMsgDlgButtons{vcl::mbOK});
    EXPECT_EQ(boxes_[0].text, row.shown);
  }
  EXPECT_TRUE(form_->Showing());
}

class TFaultyPaint : public vcl::TGraphicControl {
 public:
  using TGraphicControl::TGraphicControl;
  int paints = 0;

 protected:
  void Paint() override {
    ++paints;
    throw vcl::Exception("Cannot paint");
  }
};

TEST_F(Forms, ExceptionWhilePaintingIsShownAfterThePaint) {
  auto* faulty = Make<TFaultyPaint>("Faulty", 8, 80);
  faulty->SetWidth(20);
  form_->Show();
  ASSERT_TRUE(vcl::testing::WaitUntil([&] { return !boxes_.empty(); }));
  EXPECT_GE(faulty->paints, 1);
  EXPECT_EQ(boxes_[0].text, "Cannot paint.");
}

struct DlgRow {
  vcl::TMsgDlgType type;
  const char* caption;
};

TEST_F(Forms, MessageDlgShowsTheTypesCaptionAndReturnsThePressedButton) {
  const DlgRow table[] = {
      {vcl::mtWarning, "Warning"},        {vcl::mtError, "Error"},
      {vcl::mtInformation, "Information"}, {vcl::mtConfirmation, "Confirm"},
      {vcl::mtCustom, "Title"},
  };
  for (const auto& row : table) {
    SCOPED_TRACE(row.caption);
    boxes_.clear();
    answer_ = vcl::mrCancel;
    EXPECT_EQ(vcl::MessageDlg("Sure?", row.type, {vcl::mbOK, vcl::mbCancel}, 7), vcl::mrCancel);
    ASSERT_EQ(boxes_.size(), 1u);
    EXPECT_EQ(boxes_[0].source, vcl::TDialogRecord::Source::MessageDlg);
    EXPECT_EQ(boxes_[0].caption, row.caption);
    EXPECT_EQ(boxes_[0].text, "Sure?");
    EXPECT_EQ(boxes_[0].buttons, (vcl::TMsgDlgButtons{vcl::mbOK, vcl::mbCancel}));
    EXPECT_EQ(boxes_[0].helpContext, 7);
  }
}

TEST(Shell, ShellExecuteReportsTheCallAndItsOutcome) {
  std::vector<vcl::TShellExecuteRecord> calls;
  bool succeed = true;
  auto previous = vcl::SetShellExecuteHook([&](const vcl::TShellExecuteRecord& r) {
    calls.push_back(r);
    return succeed;
  });
  const auto ok = reinterpret_cast<std::intptr_t>(
      ShellExecuteA(nullptr, "open", "http://www.example.org/page.htm", nullptr, "", SW_SHOWNORMAL));
  succeed = false;
  const auto failed = reinterpret_cast<std::intptr_t>(
      ShellExecuteA(nullptr, nullptr, "http://www.example.org/", "x", nullptr, SW_HIDE));
  vcl::SetShellExecuteHook(std::move(previous));

  EXPECT_GT(ok, 32);
  EXPECT_LE(failed, 32);
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[0].file, std::optional<std::string>("http://www.example.org/page.htm"));
  EXPECT_FALSE(calls[0].parameters.has_value());
  EXPECT_EQ(calls[0].directory, std::optional<std::string>(""));
  EXPECT_EQ(calls[0].showCommand, SW_SHOWNORMAL);
  EXPECT_FALSE(calls[1].operation.has_value());
  EXPECT_EQ(calls[1].parameters, std::optional<std::string>("x"));
}

}  // namespace
