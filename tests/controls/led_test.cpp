// The signal lamp: state, notifications, glyphs and painting, on real
// widgets and ports on virtual devices.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "ControlsTestSupport.h"
#include "Resources.h"

namespace {

using controls_test::QtFixture;

class LedTest : public QtFixture {
 protected:
  void SetUp() override {
    QtFixture::SetUp();
    form_ = std::make_unique<vcl::TForm>(nullptr);
    form_->SetColor(vcl::clWhite);
    form_->SetClientWidth(100);
    form_->SetClientHeight(60);
    led_ = new TComLed(form_.get());
    led_->SetParent(form_.get());
    led_->SetLeft(20);
    led_->SetTop(10);
    led_->OnChange = TLedStateEvent([this](vcl::TObject*, TLedState s) { changes_.push_back(s); }, this);
  }
  void TearDown() override {
    form_.reset();
    port_.reset();
    QtFixture::TearDown();
  }

  // A closed port on a fresh virtual device, delivering on this thread.
  TComPort* Port(const std::string& name) {
    device_ = Device(name);
    port_ = std::make_unique<TComPort>(nullptr);
    port_->SetPort(name);
    return port_.get();
  }

  // The colour at (x, y) of the lamp as the shown form draws it.
  vcl::TColor PixelAt(int x, int y) {
    form_->Show();
    std::unique_ptr<vcl::TBitmap> shot = vcl::testing::Grab(form_.get());
    return shot->Canvas()->Pixel(led_->Left() + x, led_->Top() + y);
  }

  bool WaitState(TLedState state) {
    return vcl::testing::WaitUntil([&] { return led_->State() == state; });
  }

  std::unique_ptr<vcl::TForm> form_;
  TComLed* led_ = nullptr;
  std::unique_ptr<TComPort> port_;
  std::shared_ptr<win32::VirtualDevice> device_;
  std::vector<TLedState> changes_;
};

TEST_F(LedTest, NewLedIsADarkRedConnectionLampLoadingItsGlyphsAtFirstPaint) {
  EXPECT_EQ(led_->Width(), 25);
  EXPECT_EQ(led_->Height(), 25);
  EXPECT_EQ(led_->State(), lsOff);
  EXPECT_EQ(led_->Kind(), lkRedLight);
  EXPECT_EQ(led_->LedSignal(), lsConn);
  EXPECT_EQ(led_->ComPort(), nullptr);
  EXPECT_EQ(led_->RingDuration(), 1000);
  EXPECT_TRUE(led_->GlyphOn()->Empty());
  EXPECT_TRUE(led_->GlyphOff()->Empty());

  // A 15 x 15 glyph centred in 25 x 25 sits at (5, 5): its rim's top pixel
  // is at (12, 6), its middle at (12, 12).
  EXPECT_EQ(PixelAt(12, 12), vcl::clMaroon);
  EXPECT_EQ(PixelAt(12, 6), vcl::clBlack);
  EXPECT_EQ(led_->GlyphOn()->Width(), 15);
  EXPECT_EQ(led_->GlyphOff()->Height(), 15);
  // The glyph's background colour (its bottom-left pixel) is not drawn, and
  // nothing is drawn outside the glyph: the form shows through.
  EXPECT_EQ(PixelAt(5, 19), vcl::clWhite);
  EXPECT_EQ(PixelAt(0, 0), vcl::clWhite);
  EXPECT_EQ(PixelAt(24, 24), vcl::clWhite);

  led_->SetState(lsOn);
  EXPECT_EQ(PixelAt(12, 12), vcl::clRed);
}

TEST_F(LedTest, EachKindDrawsItsOwnGlyphs) {
  struct Case {
    TLedKind kind;
    vcl::TColor lit;
    vcl::TColor dark;
  };
  const Case cases[] = {
      {lkRedLight, vcl::clRed, vcl::clMaroon},      {lkGreenLight, vcl::clLime, vcl::clGreen},
      {lkBlueLight, vcl::clBlue, vcl::clNavy},      {lkYellowLight, vcl::clYellow, vcl::clOlive},
      {lkPurpleLight, vcl::clFuchsia, vcl::clPurple},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(LedKindNames()[c.kind]);
    led_->SetKind(c.kind);
    led_->SetState(lsOn);
    EXPECT_EQ(PixelAt(12, 12), c.lit);
    led_->SetState(lsOff);
    EXPECT_EQ(PixelAt(12, 12), c.dark);
    EXPECT_EQ(PixelAt(5, 19), vcl::clWhite);
  }
  // The bulb: white glass, yellow rays only when lit.
  led_->SetKind(lkBulb);
  EXPECT_EQ(PixelAt(12, 10), vcl::clWhite);
  EXPECT_EQ(PixelAt(12, 5), vcl::clWhite);  // no ray above the glass
  led_->SetState(lsOn);
  EXPECT_EQ(PixelAt(12, 5), vcl::clYellow);
}

TEST_F(LedTest, DisabledLampShowsItsDarkGlyphAndStillReportsChanges) {
  led_->SetEnabled(false);
  led_->SetState(lsOn);
  EXPECT_EQ(led_->State(), lsOn);
  EXPECT_EQ(PixelAt(12, 12), vcl::clMaroon);
  led_->SetEnabled(true);
  EXPECT_EQ(PixelAt(12, 12), vcl::clRed);
  EXPECT_EQ(changes_, (std::vector<TLedState>{lsOn}));
}

TEST_F(LedTest, StateIsWritableOnlyWithoutAPort) {
  led_->SetState(lsOn);
  led_->SetState(lsOn);  // the same value is reported again
  EXPECT_EQ(changes_, (std::vector<TLedState>{lsOn, lsOn}));

  led_->SetComPort(Port("COM51"));  // closed: the lamp keeps its state
  EXPECT_EQ(led_->State(), lsOn);
  try {
    led_->SetState(lsOff);
    FAIL() << "State written while a port is set";
  } catch (const EComPort& e) {
    EXPECT_EQ(e.EngineCode, ecLedStateLocked);
    EXPECT_EQ(e.SystemErrorCode, -1);
    EXPECT_EQ(e.Message, "Cannot change led state if ComPort is selected");
  }
  EXPECT_EQ(led_->State(), lsOn);

  // Unbinding darkens the lamp and tells OnChange.
  changes_.clear();
  led_->SetComPort(nullptr);
  EXPECT_EQ(led_->State(), lsOff);
  EXPECT_EQ(changes_, (std::vector<TLedState>{lsOff}));
  led_->SetState(lsOn);
  EXPECT_EQ(led_->State(), lsOn);
}

TEST_F(LedTest, FollowsItsLineOnEveryNotificationAlsoWithoutAChange) {
  TComPort* port = Port("COM52");
  led_->SetLedSignal(lsCTS);
  led_->SetComPort(port);
  port->OpenPort();  // CTS low: reported off, although the lamp is off
  EXPECT_EQ(changes_, (std::vector<TLedState>{lsOff}));

  device_->SetCTS(true);
  ASSERT_TRUE(WaitState(lsOn));
  device_->SetCTS(false);
  ASSERT_TRUE(WaitState(lsOff));
  device_->SetCTS(true);
  ASSERT_TRUE(WaitState(lsOn));
  port->ClosePort();
  EXPECT_EQ(led_->State(), lsOff);
  EXPECT_EQ(changes_, (std::vector<TLedState>{lsOff, lsOn, lsOff, lsOn, lsOff}));
}

TEST_F(LedTest, AttachingToAnOpenPortTakesTheSignalsCurrentState) {
  TComPort* port = Port("COM53");
  device_->SetCTS(true);
  device_->SetRLSD(true);
  port->OpenPort();
  struct Case {
    TComLedSignal signal;
    TLedState before;
    TLedState after;
  };
  const Case cases[] = {
      {lsConn, lsOff, lsOn}, {lsCTS, lsOff, lsOn}, {lsDSR, lsOn, lsOff}, {lsRLSD, lsOff, lsOn},
      {lsRing, lsOn, lsOff}, {lsRx, lsOn, lsOff},  {lsTx, lsOn, lsOff},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(ComLedSignalNames()[c.signal]);
    led_->SetComPort(nullptr);
    led_->SetLedSignal(c.signal);
    led_->SetState(c.before);
    changes_.clear();
    led_->SetComPort(port);
    EXPECT_EQ(led_->State(), c.after);
    EXPECT_EQ(changes_, (std::vector<TLedState>{c.after}));
  }
}

TEST_F(LedTest, ChangingTheSignalKeepsTheStateUntilTheNewSignalIsHeard) {
  TComPort* port = Port("COM54");
  device_->SetCTS(true);
  led_->SetLedSignal(lsCTS);
  led_->SetComPort(port);
  port->OpenPort();
  ASSERT_EQ(led_->State(), lsOn);
  led_->SetLedSignal(lsDSR);
  EXPECT_EQ(led_->State(), lsOn);
  device_->SetCTS(false);  // no longer followed
  device_->SetDSR(true);
  ASSERT_TRUE(WaitState(lsOn));
  device_->SetDSR(false);
  ASSERT_TRUE(WaitState(lsOff));
  EXPECT_EQ(changes_.back(), lsOff);
}

TEST_F(LedTest, DestroyedPortDarkensTheLamp) {
  TComPort* port = Port("COM55");
  led_->SetComPort(port);
  port->OpenPort();
  ASSERT_EQ(led_->State(), lsOn);
  changes_.clear();
  port_.reset();  // closes (lamp off), then tells the lamp it goes away
  EXPECT_EQ(led_->ComPort(), nullptr);
  EXPECT_EQ(led_->State(), lsOff);
  ASSERT_FALSE(changes_.empty());
  EXPECT_EQ(changes_.back(), lsOff);
  led_->SetState(lsOn);  // unbound again
}

TEST_F(LedTest, DestroyedLampLeavesThePort) {
  TComPort* port = Port("COM56");
  led_->SetComPort(port);
  ASSERT_EQ(port->LinkCount(), 1);
  form_->Show();
  vcl::testing::ProcessPending();
  form_.reset();
  EXPECT_EQ(port->LinkCount(), 0);
  port->OpenPort();  // nobody left to notify
  port->ClosePort();
}

TEST_F(LedTest, SecondRingDoesNotLengthenTheFlash) {
  TComPort* port = Port("COM57");
  led_->SetLedSignal(lsRing);
  led_->SetRingDuration(300);
  led_->SetComPort(port);
  port->OpenPort();

  device_->Ring();
  ASSERT_TRUE(WaitState(lsOn));
  // A reference timer of the same length, started after the first ring and
  // before the second: the flash must end first.
  bool referenceFired = false;
  TLedState stateWhenReferenceFired = lsOn;
  vcl::TTimer reference(nullptr);
  reference.SetEnabled(false);
  reference.SetInterval(300);
  reference.SetOnTimer(vcl::TNotifyEvent(
      [&](vcl::TObject*) {
        reference.SetEnabled(false);
        referenceFired = true;
        stateWhenReferenceFired = led_->State();
      },
      this));
  reference.SetEnabled(true);

  device_->Ring();
  ASSERT_TRUE(vcl::testing::WaitUntil([&] { return changes_.size() >= 2; }));
  EXPECT_EQ(changes_, (std::vector<TLedState>{lsOn, lsOn}));  // the second ring is told too
  ASSERT_TRUE(vcl::testing::WaitUntil([&] { return referenceFired; }));
  EXPECT_EQ(stateWhenReferenceFired, lsOff);
  EXPECT_EQ(changes_, (std::vector<TLedState>{lsOn, lsOn, lsOff}));
  EXPECT_FALSE(led_->RingFlashing());
}

TEST_F(LedTest, CustomKindKeepsThePreviousGlyphsUntilNewOnesAreWritten) {
  vcl::TBitmap mine;
  mine.SetSize(15, 15);
  mine.Canvas()->SetBrushColor(vcl::clAqua);
  mine.Canvas()->FillRect(vcl::Rect(0, 0, 15, 15));
  mine.Canvas()->SetPixel(0, 14, vcl::clTeal);

  EXPECT_EQ(PixelAt(12, 12), vcl::clMaroon);  // the red glyphs are loaded
  led_->SetGlyphOn(&mine);  // not lkCustom: ignored, the bitmap untouched
  EXPECT_FALSE(mine.Transparent());
  led_->SetKind(lkCustom);
  led_->SetKind(lkCustom);
  EXPECT_EQ(PixelAt(12, 12), vcl::clMaroon);  // still the red glyphs

  led_->SetGlyphOff(&mine);
  EXPECT_TRUE(mine.Transparent());
  EXPECT_EQ(mine.TransparentMode(), vcl::tmAuto);
  EXPECT_EQ(PixelAt(12, 12), vcl::clAqua);
  EXPECT_EQ(PixelAt(5, 19), vcl::clWhite);  // its bottom-left colour is transparent
  EXPECT_NE(led_->GlyphOff(), &mine);       // copied, not taken
}

TEST_F(LedTest, CustomKindWithEmptyGlyphsPaintsNothing) {
  led_->SetKind(lkCustom);
  led_->SetState(lsOn);
  EXPECT_EQ(PixelAt(12, 12), vcl::clWhite);
}

// A window whose lamps come from a layout, with a handler for OnChange.
class TLedLayoutForm : public vcl::TForm {
 public:
  TLedLayoutForm(const std::string& layout) : vcl::TForm(nullptr) {
    vcl::RegisterResource("TLedLayoutForm", layout);
    ReadLayout("TLedLayoutForm");
    BindComponent(Lit, "LitLed");
    BindComponent(Custom, "CustomLed");
    BindComponent(Bound, "BoundLed");
  }
  // The lamps still report while their port closes on the way out: free
  // them while Changes exists.
  ~TLedLayoutForm() override { BeforeDestruction(); }
  const vcl::TClassInfo* ClassInfo() const override { return StaticClassInfo(); }
  static const vcl::TClassInfo* StaticClassInfo() {
    static const vcl::TClassInfo info = [] {
      vcl::TClassInfo i("TLedLayoutForm", vcl::TForm::StaticClassInfo());
      i.Add(vcl::PublishedMethod("LedChange", &TLedLayoutForm::LedChange));
      return i;
    }();
    return &info;
  }
  void LedChange(vcl::TObject*, TLedState state) { Changes.push_back(state); }

  TComLed* Lit = nullptr;
  TComLed* Custom = nullptr;
  TComLed* Bound = nullptr;
  std::vector<TLedState> Changes;
};

std::string Hex(const std::string& bytes) {
  static const char digits[] = "0123456789ABCDEF";
  std::string hex;
  for (unsigned char b : bytes) {
    hex += digits[b >> 4];
    hex += digits[b & 15];
  }
  return hex;
}

TEST_F(LedTest, LayoutSetsLampsWithoutTellingOnChange) {
  // A custom glyph as a layout stores it: the bitmap file's bytes.
  vcl::TBitmap mine;
  mine.SetSize(15, 15);
  mine.Canvas()->SetBrushColor(vcl::clBlue);
  mine.Canvas()->FillRect(vcl::Rect(0, 0, 15, 15));
  const std::string file = (std::filesystem::temp_directory_path() / "led-layout-glyph.bmp").string();
  mine.SaveToFile(file);
  std::ifstream in(file, std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::remove(file.c_str());

  Device("COM58")->SetCTS(true);
  const std::string layout = R"(object LedLayoutForm: TLedLayoutForm
  ClientWidth = 100
  ClientHeight = 40
  object LitLed: TComLed
    Left = 0
    Top = 0
    State = lsOn
    OnChange = LedChange
  end
  object CustomLed: TComLed
    Left = 30
    Top = 0
    Kind = lkCustom
    GlyphOn.Data = {)" + Hex(bytes) + R"(}
    State = lsOn
  end
  object BoundLed: TComLed
    Left = 60
    Top = 0
    ComPort = ComPort
    LedSignal = lsCTS
    Kind = lkGreenLight
    OnChange = LedChange
  end
  object ComPort: TComPort
    Port = 'COM58'
    Connected = True
  end
end
)";
  TLedLayoutForm form(layout);
  EXPECT_EQ(form.Lit->State(), lsOn);
  EXPECT_EQ(form.Custom->Kind(), lkCustom);
  EXPECT_EQ(form.Custom->GlyphOn()->Width(), 15);
  EXPECT_TRUE(form.Custom->GlyphOn()->Transparent());
  EXPECT_EQ(form.Bound->LedSignal(), lsCTS);
  ASSERT_NE(form.Bound->ComPort(), nullptr);
  EXPECT_EQ(form.Bound->ComPort()->LinkCount(), 1);
  // The port opened once the layout was read, and the bound lamp heard the
  // live CTS level then; nothing was told while loading.
  EXPECT_TRUE(form.Bound->ComPort()->Connected());
  EXPECT_EQ(form.Bound->State(), lsOn);
  EXPECT_EQ(form.Changes, (std::vector<TLedState>{lsOn}));
}

}  // namespace
