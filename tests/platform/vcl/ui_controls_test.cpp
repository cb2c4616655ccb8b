// Controls: painting on a canvas with transparent bitmaps, enabling,
// hints, tab order, check boxes, combo boxes, bitmaps and timers.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "Buttons.h"
#include "ExtCtrls.h"
#include "Forms.h"
#include "StdCtrls.h"
#include "UiTesting.h"

namespace {

// A graphic control that draws a glyph the way the lamps do.
class TGlyphView : public vcl::TGraphicControl {
 public:
  explicit TGlyphView(vcl::TComponent* owner) : TGraphicControl(owner) {
    glyph.LoadFromResourceName("HelpGlyph");
  }
  vcl::TBitmap glyph;
  int paints = 0;
  int enabledChanges = 0;

 protected:
  void Paint() override {
    ++paints;
    Canvas()->Draw(4, 4, &glyph);
  }
  void EnabledChanged() override { ++enabledChanges; }
};

class Controls : public ::testing::Test {
 protected:
  void SetUp() override {
    vcl::InitializeApplication();
    form_ = std::make_unique<vcl::TForm>(nullptr);
    form_->SetClientWidth(300);
    form_->SetClientHeight(200);
    form_->SetColor(vcl::clWhite);
  }
  void TearDown() override {
    form_.reset();
    vcl::testing::ProcessPending();
  }
  template <class T>
  T* Make(const char* name, vcl::TWinControl* parent, int left, int top, int width, int height) {
    auto* c = new T(form_.get());
    c->SetName(name);
    c->SetParent(parent);
    c->SetBounds(left, top, width, height);
    return c;
  }
  std::unique_ptr<vcl::TForm> form_;
};

TEST_F(Controls, GraphicControlPaintsItsGlyphWithTheBackgroundTransparent) {
  auto* view = Make<TGlyphView>("View", form_.get(), 10, 10, 40, 40);
  form_->Show();
  ASSERT_TRUE(vcl::testing::WaitUntil([&] { return view->paints > 0; }));

  // Opaque: the glyph's light grey corner covers the form.
  auto shot = vcl::testing::Grab(view);
  const vcl::TColor corner = view->glyph.Canvas()->Pixel(0, 31);
  EXPECT_EQ(shot->Canvas()->Pixel(4, 35), corner);
  EXPECT_EQ(shot->Canvas()->Pixel(1, 1), vcl::clWhite);

  // Transparent: the bottom-left pixel's colour is left undrawn.
  view->glyph.SetTransparent(true);
  EXPECT_EQ(view->glyph.TransparentColor(), corner);
  const int before = view->paints;
  view->Invalidate();
  ASSERT_TRUE(vcl::testing::WaitUntil([&] { return view->paints > before; }));
  shot = vcl::testing::Grab(view);
  EXPECT_EQ(shot->Canvas()->Pixel(4, 35), vcl::clWhite);
  EXPECT_EQ(shot->Canvas()->Pixel(4 + 16, 4 + 16), view->glyph.Canvas()->Pixel(16, 16));
}

TEST_F(Controls, EnabledChangesReachTheControlOnce) {
  auto* view = Make<TGlyphView>("View", form_.get(), 10, 10, 40, 40);
  view->SetEnabled(false);
  view->SetEnabled(false);
  view->SetEnabled(true);
  EXPECT_EQ(view->enabledChanges, 2);
  EXPECT_TRUE(view->Enabled());
}

TEST_F(Controls, ClickOnAGraphicControlRunsOnClick) {
  auto* view = Make<TGlyphView>("View", form_.get(), 10, 10, 40, 40);
  int clicks = 0;
  view->OnClick = vcl::TNotifyEvent([&](vcl::TObject*) { ++clicks; }, nullptr);
  form_->Show();
  ASSERT_TRUE(vcl::testing::ClickControl(view));
  view->SetEnabled(false);
  ASSERT_TRUE(vcl::testing::ClickControl(view));
  EXPECT_EQ(clicks, 1);
}

TEST_F(Controls, HintIsShownOnlyWithShowHintOwnOrInherited) {
  auto* panel = Make<vcl::TPanel>("Panel", form_.get(), 0, 0, 200, 100);
  auto* button = Make<vcl::TButton>("Button", panel, 10, 10, 80, 25);
  button->SetHint("Press me|longer help");
  form_->Show();
  EXPECT_EQ(vcl::testing::HoverHint(button), "");

  panel->SetShowHint(true);  // inherited through ParentShowHint
  EXPECT_TRUE(button->ShowHint());
  EXPECT_EQ(vcl::testing::HoverHint(button), "Press me");

  button->SetShowHint(false);  // its own setting wins from now on
  EXPECT_FALSE(button->ParentShowHint());
  EXPECT_EQ(vcl::testing::HoverHint(button), "");
}

TEST_F(Controls, TabOrderIsAPlaceInTheParentsListAndTabFollowsIt) {
  auto* a = Make<vcl::TEdit>("A", form_.get(), 0, 0, 50, 21);
  auto* b = Make<vcl::TEdit>("B", form_.get(), 0, 30, 50, 21);
  auto* c = Make<vcl::TEdit>("C", form_.get(), 0, 60, 50, 21);
  EXPECT_EQ(a->TabOrder(), 0);
  EXPECT_EQ(c->TabOrder(), 2);
  c->SetTabOrder(0);
  EXPECT_EQ(c->TabOrder(), 0);
  EXPECT_EQ(a->TabOrder(), 1);
  EXPECT_EQ(b->TabOrder(), 2);
  b->SetTabOrder(99);  // past the end: last
  EXPECT_EQ(b->TabOrder(), 2);

  std::vector<std::string> focus;
  for (vcl::TEdit* e : {a, b, c}) {
    e->OnEnter = vcl::TNotifyEvent([&, e](vcl::TObject*) { focus.push_back("enter " + e->Name()); }, nullptr);
    e->OnExit = vcl::TNotifyEvent([&, e](vcl::TObject*) { focus.push_back("exit " + e->Name()); }, nullptr);
  }
  form_->Show();
  vcl::testing::PressKey(c, vcl::testing::Key::Tab);
  EXPECT_TRUE(a->Focused());
  vcl::testing::PressKey(a, vcl::testing::Key::Tab);
  EXPECT_TRUE(b->Focused());
  // Focus went C -> A -> B, each change an exit then an enter.
  ASSERT_GE(focus.size(), 4u);
  EXPECT_EQ(std::vector<std::string>(focus.end() - 4, focus.end()),
            (std::vector<std::string>{"exit C", "enter A", "exit A", "enter B"}));
}

TEST_F(Controls, CheckBoxClicksWhenItsStateChangesFromCodeOrUser) {
  auto* box = Make<vcl::TCheckBox>("Box", form_.get(), 0, 0, 100, 17);
  box->SetCaption("Tick");
  std::vector<bool> seen;
  box->OnClick = vcl::TNotifyEvent([&](vcl::TObject*) { seen.push_back(box->Checked()); }, nullptr);
  form_->Show();
  box->SetChecked(true);
  box->SetChecked(true);  // no change, no click
  ASSERT_TRUE(vcl::testing::ClickControl(box));
  EXPECT_EQ(seen, (std::vector<bool>{true, false}));
  EXPECT_FALSE(box->Checked());
}

TEST_F(Controls, ComboBoxPickRunsClickThenChangeAndCodeRunsNeither) {
  auto* combo = Make<vcl::TComboBox>("Combo", form_.get(), 0, 0, 100, 21);
  combo->SetStyle(vcl::csDropDownList);
  std::vector<std::string> events;
  combo->OnClick = vcl::TNotifyEvent([&](vcl::TObject*) { events.push_back("click " + combo->Text()); }, nullptr);
  combo->OnChange = vcl::TNotifyEvent([&](vcl::TObject*) { events.push_back("change " + combo->Text()); }, nullptr);
  combo->Items()->Add("One");
  combo->Items()->Add("Two");
  EXPECT_EQ(combo->ItemIndex(), -1);  // adding selects nothing
  EXPECT_EQ(combo->Text(), "");

  combo->SetItemIndex(0);
  combo->SetText("two");  // ignoring case
  EXPECT_EQ(combo->ItemIndex(), 1);
  combo->SetText("three");  // not listed: no change
  EXPECT_EQ(combo->ItemIndex(), 1);
  combo->SetItemIndex(5);
  EXPECT_EQ(combo->ItemIndex(), -1);
  EXPECT_TRUE(events.empty());

  form_->Show();
  vcl::testing::PickComboItem(combo, 0);
  EXPECT_EQ(events, (std::vector<std::string>{"click One", "change One"}));
}

TEST(Bitmap, LoadsResourcesCopiesAndReportsWhatIsWrong) {
  vcl::TBitmap bitmap;
  EXPECT_TRUE(bitmap.Empty());
  EXPECT_THROW(bitmap.LoadFromResourceName("NoSuchGlyph"), vcl::EResNotFound);
  EXPECT_THROW(bitmap.LoadFromData("not a bitmap"), vcl::EInvalidGraphic);
  bitmap.LoadFromResourceName(vcl::HInstance, "HelpGlyph");
  EXPECT_EQ(bitmap.Width(), 32);
  EXPECT_EQ(bitmap.Height(), 32);

  // Automatic: the bottom-left pixel; fixed: the colour set.
  bitmap.SetTransparent(true);
  EXPECT_EQ(bitmap.TransparentColor(), bitmap.Canvas()->Pixel(0, 31));
  bitmap.SetTransparentColor(vcl::clBlue);
  EXPECT_EQ(bitmap.TransparentMode(), vcl::tmFixed);
  EXPECT_EQ(bitmap.TransparentColor(), vcl::clBlue);

  vcl::TBitmap copy;
  copy.Assign(&bitmap);
  EXPECT_EQ(copy.Width(), 32);
  EXPECT_TRUE(copy.Transparent());
  EXPECT_EQ(copy.Canvas()->Pixel(16, 16), bitmap.Canvas()->Pixel(16, 16));
  vcl::TFont font;
  EXPECT_THROW(copy.Assign(&font), vcl::EConvertError);
}

struct TimerRow {
  bool enabled;
  unsigned interval;
  bool handler;
  bool runs;
};

TEST(Timer, RunsOnlyWhenEnabledWithAnIntervalAndAHandler) {
  vcl::InitializeApplication();
  const TimerRow table[] = {
      {true, 1000, true, true},  {false, 1000, true, false},
      {true, 0, true, false},    {true, 1000, false, false},
  };
  for (const auto& row : table) {
    vcl::TTimer timer(nullptr);
    EXPECT_EQ(timer.Interval(), 1000u);
    timer.SetEnabled(row.enabled);
    timer.SetInterval(row.interval);
    if (row.handler) timer.SetOnTimer(vcl::TNotifyEvent([](vcl::TObject*) {}, nullptr));
    EXPECT_EQ(timer.Running(), row.runs);
  }

  vcl::TTimer timer(nullptr);
  int ticks = 0;
  timer.SetInterval(1);
  timer.SetOnTimer(vcl::TNotifyEvent(
      [&](vcl::TObject*) {
        if (++ticks == 3) timer.SetEnabled(false);
      },
      nullptr));
  ASSERT_TRUE(vcl::testing::WaitUntil([&] { return ticks == 3; }));
  EXPECT_FALSE(timer.Running());
}

}  // namespace
