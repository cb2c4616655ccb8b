// The memo as a log: its text kept exactly, appends that cost only the new
// text, and a view that stays where the user left it.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "Forms.h"
#include "StdCtrls.h"
#include "UiTesting.h"

namespace {

class Memo : public ::testing::Test {
 protected:
  void SetUp() override {
    vcl::InitializeApplication();
    form_ = std::make_unique<vcl::TForm>(nullptr);
    form_->SetClientWidth(300);
    form_->SetClientHeight(200);
    memo_ = new vcl::TMemo(form_.get());
    memo_->SetParent(form_.get());
    memo_->SetBounds(0, 0, 300, 200);
    memo_->SetScrollBars(vcl::ssBoth);
    memo_->SetReadOnly(true);
    memo_->OnChange = vcl::TNotifyEvent([this](vcl::TObject*) { ++changes_; }, nullptr);
    form_->Show();
  }
  std::unique_ptr<vcl::TForm> form_;
  vcl::TMemo* memo_ = nullptr;
  int changes_ = 0;
};

TEST_F(Memo, KeepsItsTextExactlyAndCountsShownLines) {
  memo_->AppendText("AT\r");
  memo_->AppendText("\nOK\r\n");  // CR LF split over two appends: one break
  memo_->AppendText("RING\n\r");
  EXPECT_EQ(memo_->Text(), "AT\r\nOK\r\nRING\n\r");
  EXPECT_EQ(memo_->LineCount(), 5);
  EXPECT_EQ(changes_, 3);
  memo_->AppendText("");
  EXPECT_EQ(changes_, 3);
}

TEST_F(Memo, WritingBackALongerTextAppendsAndAnyOtherTextReplaces) {
  memo_->SetText("one\r\n");
  memo_->SetText(memo_->Text() + "two\r\n");
  EXPECT_EQ(memo_->Text(), "one\r\ntwo\r\n");
  EXPECT_EQ(memo_->LineCount(), 3);
  memo_->SetText("other");
  EXPECT_EQ(memo_->Text(), "other");
  EXPECT_EQ(memo_->LineCount(), 1);
  memo_->SetText("");
  EXPECT_EQ(memo_->Text(), "");
  EXPECT_EQ(changes_, 4);
}

TEST_F(Memo, TextAppendedToAnEmptyLogIsNotSelected) {
  // The caret of an empty log sits at the end, where the new text goes.
  memo_->AppendText("AT\r\r\nOK\r\n");
  memo_->AppendText("RING\r\n");
  vcl::testing::ProcessPending();
  EXPECT_EQ(vcl::testing::SelectionLength(memo_), 0);
  EXPECT_EQ(vcl::testing::CaretPosition(memo_), 0);
}

TEST_F(Memo, AppendingNeitherScrollsNorMovesTheCaret) {
  std::string log;
  for (int i = 0; i < 500; ++i) log += "line " + std::to_string(i) + "\r\n";
  memo_->AppendText(log);
  vcl::testing::ProcessPending();
  EXPECT_EQ(vcl::testing::VerticalScroll(memo_), 0);

  // The user scrolled to the end and put the caret there.
  vcl::testing::SetCaretPosition(memo_, static_cast<int>(log.size() / 2));
  vcl::testing::SetVerticalScroll(memo_, vcl::testing::VerticalScrollMaximum(memo_));
  const int top = vcl::testing::VerticalScroll(memo_);
  const int caret = vcl::testing::CaretPosition(memo_);
  for (int i = 0; i < 50; ++i) memo_->AppendText("more " + std::to_string(i) + "\r\n");
  vcl::testing::ProcessPending();
  EXPECT_EQ(vcl::testing::VerticalScroll(memo_), top);
  EXPECT_EQ(vcl::testing::CaretPosition(memo_), caret);
  EXPECT_GT(vcl::testing::VerticalScrollMaximum(memo_), top);
}

}  // namespace
