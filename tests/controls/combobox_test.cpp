// The settings selector: TComComboBox with its TComSelect, on real widgets.
#include <memory>
#include <string>
#include <vector>

#include "ControlsTestSupport.h"

namespace {

using controls_test::QtFixture;

class ComboBoxTest : public QtFixture {
 protected:
  void SetUp() override {
    QtFixture::SetUp();
    form_ = std::make_unique<vcl::TForm>(nullptr);
    form_->SetClientWidth(200);
    form_->SetClientHeight(60);
    port_ = std::make_unique<TComPort>(nullptr);
  }
  void TearDown() override {
    form_.reset();
    port_.reset();
    QtFixture::TearDown();
  }

  // A combo box on the shown form, bound to `property`.
  TComComboBox* Combo(TComProperty property) {
    auto* combo = new TComComboBox(form_.get());
    combo->SetParent(form_.get());
    combo->SetBounds(8, 8, 129, 21);
    combo->SetComProperty(property);
    form_->Show();
    return combo;
  }

  static std::vector<std::string> ItemsOf(TComComboBox* combo) {
    std::vector<std::string> items;
    for (int i = 0; i < combo->Items()->Count(); ++i) items.push_back(combo->Items()->Strings(i));
    return items;
  }

  std::unique_ptr<vcl::TForm> form_;
  std::unique_ptr<TComPort> port_;
};

TEST_F(ComboBoxTest, ListsEveryValueOfItsSettingAndSelectsTheFirstWithoutAPort) {
  struct Case {
    TComProperty property;
    std::vector<std::string> items;
  };
  const Case cases[] = {
      {cpBaudRate, {"Custom", "110", "300", "600", "1200", "2400", "4800", "9600", "14400", "19200",
                    "38400", "56000", "57600", "115200", "128000", "256000"}},
      {cpDataBits, {"5", "6", "7", "8"}},
      {cpStopBits, {"1", "1.5", "2"}},
      {cpParity, {"None", "Odd", "Even", "Mark", "Space"}},
      {cpFlowControl, {"Hardware", "Software", "None", "Custom"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(ComPropertyNames()[c.property]);
    TComComboBox* combo = Combo(c.property);
    EXPECT_EQ(ItemsOf(combo), c.items);
    EXPECT_EQ(combo->ItemIndex(), 0);
    EXPECT_EQ(combo->Text(), c.items.front());
    EXPECT_EQ(combo->Style(), vcl::csDropDownList);
  }
  // Nothing chosen yet: the chosen values are still the first of each kind.
  TComComboBox* baud = Combo(cpBaudRate);
  EXPECT_EQ(baud->Select()->ChosenBaudRate, brCustom);
}

TEST_F(ComboBoxTest, TakesPickedTextsWithTheirFallbacks) {
  TComSelect select;
  struct Case {
    TComProperty property;
    const char* text;
    int expected;  // ordinal of the chosen value
  };
  const Case cases[] = {
      {cpBaudRate, "custom", brCustom},  {cpBaudRate, "no rate", br9600},
      {cpBaudRate, " 9600", br9600},     {cpBaudRate, "57600", br57600},
      {cpDataBits, "", dbEight},         {cpDataBits, "6", dbSix},
      {cpStopBits, "1.5", sbOne5StopBits}, {cpStopBits, "1,5", sbOneStopBit},
      {cpParity, "EVEN", prEven},        {cpParity, "odd?", prNone},
      {cpFlowControl, "none", fcNone},   {cpFlowControl, "no flow", fcCustom},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(ComPropertyNames()[c.property]) + " '" + c.text + "'");
    select.BindProperty(c.property);
    select.TakeSelectedText(c.text);
    int chosen = -1;
    switch (c.property) {
      case cpBaudRate: chosen = select.ChosenBaudRate; break;
      case cpDataBits: chosen = select.ChosenDataBits; break;
      case cpStopBits: chosen = select.ChosenStopBits; break;
      case cpParity: chosen = select.ChosenParity; break;
      case cpFlowControl: chosen = select.ChosenFlowControl; break;
      default: break;
    }
    EXPECT_EQ(chosen, c.expected);
  }
  // A port name is taken as it is.
  select.BindProperty(cpPort);
  select.TakeSelectedText("ttyUSB0");
  EXPECT_EQ(select.ChosenPort, "ttyUSB0");
}

TEST_F(ComboBoxTest, AttachingAPortShowsAndChoosesItsCurrentValue) {
  port_->SetBaudRate(br115200);
  port_->SetDataBits(dbSeven);
  port_->SetStopBits(sbTwoStopBits);
  port_->Parity()->SetBits(prMark);
  port_->FlowControl()->SetFlowControl(fcSoftware);
  struct Case {
    TComProperty property;
    const char* shown;
  };
  const Case cases[] = {{cpBaudRate, "115200"}, {cpDataBits, "7"}, {cpStopBits, "2"},
                        {cpParity, "Mark"},     {cpFlowControl, "Software"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.shown);
    TComComboBox* combo = Combo(c.property);
    combo->SetComPort(port_.get());
    EXPECT_EQ(combo->Text(), c.shown);
  }
  TComSelect* chosen = Combo(cpBaudRate)->Select();
  EXPECT_EQ(chosen->ChosenBaudRate, brCustom);  // no port: nothing taken
  TComComboBox* baud = Combo(cpBaudRate);
  baud->SetComPort(port_.get());
  EXPECT_EQ(baud->Select()->ChosenBaudRate, br115200);
  TComComboBox* flow = Combo(cpFlowControl);
  flow->SetComPort(port_.get());
  EXPECT_EQ(flow->Select()->ChosenFlowControl, fcSoftware);

  // Binding a property while a port is attached shows the port's value too.
  baud->SetComProperty(cpStopBits);
  EXPECT_EQ(baud->Text(), "2");
  EXPECT_EQ(baud->Select()->ChosenStopBits, sbTwoStopBits);
}

TEST_F(ComboBoxTest, LowerCasePortNameSelectsTheListedCapitals) {
  Device("COM42");
  port_->SetPort("com42");
  TComComboBox* combo = Combo(cpPort);
  ASSERT_GE(combo->Items()->IndexOf("COM42"), 0);
  combo->SetComPort(port_.get());
  EXPECT_EQ(combo->Text(), "COM42");
  EXPECT_EQ(combo->Select()->ChosenPort, "COM42");
}

TEST_F(ComboBoxTest, UnlistedPortNameShowsNothingAndKeepsTheChosenName) {
  // A port opened by path, or a device that is not plugged in now. The
  // selector's own choice stays as it was (empty in a fresh control); the
  // settings dialog is the one that keeps such a name on OK.
  port_->SetPort("/dev/tty-not-plugged-in");
  TComComboBox* combo = Combo(cpPort);
  ASSERT_LT(combo->Items()->IndexOf(port_->Port()), 0);
  combo->SetComPort(port_.get());
  EXPECT_EQ(combo->ItemIndex(), -1);
  EXPECT_EQ(combo->Select()->ChosenPort, "");
  combo->ApplySelection();
  EXPECT_EQ(port_->Port(), "");
}

TEST_F(ComboBoxTest, PickingAppliesBeforeOnChangeOnlyWithAutoApply) {
  for (bool autoApply : {true, false}) {
    SCOPED_TRACE(autoApply ? "AutoApply" : "no AutoApply");
    port_->Parity()->SetBits(prNone);
    TComComboBox* combo = Combo(cpParity);
    combo->SetComPort(port_.get());
    combo->SetAutoApply(autoApply);
    std::vector<TParityBits> seenInOnChange;
    combo->OnChange = vcl::TNotifyEvent(
        [&](vcl::TObject*) { seenInOnChange.push_back(port_->Parity()->Bits()); }, this);

    vcl::testing::PickComboItem(combo, combo->Items()->IndexOf("Even"));
    ASSERT_EQ(seenInOnChange.size(), 1u);
    EXPECT_EQ(seenInOnChange[0], autoApply ? prEven : prNone);
    EXPECT_EQ(combo->Select()->ChosenParity, prEven);

    combo->ApplySelection();
    EXPECT_EQ(port_->Parity()->Bits(), prEven);
  }
}

TEST_F(ComboBoxTest, SelectingFromCodeAppliesNothing) {
  TComComboBox* combo = Combo(cpBaudRate);
  combo->SetComPort(port_.get());
  combo->SetAutoApply(true);
  int changes = 0;
  combo->OnChange = vcl::TNotifyEvent([&](vcl::TObject*) { ++changes; }, this);
  combo->SetText("300");
  EXPECT_EQ(combo->Text(), "300");
  combo->SetItemIndex(1);
  combo->SetText("not listed");  // no such item: nothing changes
  EXPECT_EQ(combo->Text(), "110");
  EXPECT_EQ(port_->BaudRate(), br9600);
  EXPECT_EQ(changes, 0);
}

TEST_F(ComboBoxTest, SamePortAgainDoesNotRefresh) {
  TComComboBox* combo = Combo(cpDataBits);
  combo->SetComPort(port_.get());
  EXPECT_EQ(combo->Text(), "8");
  port_->SetDataBits(dbSix);
  combo->SetComPort(port_.get());
  EXPECT_EQ(combo->Text(), "8");
  combo->ShowCurrentSetting();
  EXPECT_EQ(combo->Text(), "6");
}

TEST_F(ComboBoxTest, RemovedPortIsForgottenAndItemZeroSelected) {
  port_->SetBaudRate(br57600);
  TComComboBox* combo = Combo(cpBaudRate);
  combo->SetComPort(port_.get());
  ASSERT_EQ(combo->Text(), "57600");
  port_.reset();
  EXPECT_EQ(combo->ComPort(), nullptr);
  EXPECT_EQ(combo->ItemIndex(), 0);
  EXPECT_EQ(combo->Select()->ChosenBaudRate, br57600);  // the choice stays
  combo->ApplySelection();                                // and goes nowhere
}

TEST_F(ComboBoxTest, ForgettingThePortKeepsTheSelection) {
  port_->SetStopBits(sbOne5StopBits);
  TComComboBox* combo = Combo(cpStopBits);
  combo->SetComPort(port_.get());
  combo->SetComPort(nullptr);
  EXPECT_EQ(combo->Text(), "1.5");
  // No removal notice reaches a control that forgot the port.
  port_.reset();
  EXPECT_EQ(combo->Text(), "1.5");
}

TEST_F(ComboBoxTest, NoPropertyEmptiesTheList) {
  TComComboBox* combo = Combo(cpParity);
  combo->SetComPort(port_.get());
  combo->SetComProperty(cpNone);
  EXPECT_EQ(combo->Items()->Count(), 0);
  EXPECT_EQ(combo->ItemIndex(), -1);
  combo->ShowCurrentSetting();
  combo->ApplySelection();
  EXPECT_EQ(port_->Parity()->Bits(), prNone);
}

}  // namespace
