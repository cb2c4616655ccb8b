// The layout reader: the text shape, components nested and owned, handlers
// bound by name, references resolved after the whole layout, Loaded in
// creation order, and read errors that name the component and property.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "Classes.h"
#include "Forms.h"
#include "Resources.h"
#include "StdCtrls.h"
#include "UiTesting.h"

namespace {

std::vector<std::string>& LoadedOrder() {
  static std::vector<std::string> order;
  return order;
}

// A component that shows what the reader did to it.
class TProbe : public vcl::TComponent {
 public:
  explicit TProbe(vcl::TComponent* owner) : TComponent(owner) {}
  const vcl::TClassInfo* ClassInfo() const override { return StaticClassInfo(); }
  static const vcl::TClassInfo* StaticClassInfo() {
    static const vcl::TClassInfo info = [] {
      vcl::TClassInfo i("TProbe", vcl::TComponent::StaticClassInfo(),
                        [](vcl::TComponent* owner) -> vcl::TComponent* { return new TProbe(owner); });
      i.Add(vcl::TPropInfo{"Value", [](vcl::TObject* o, const vcl::TFormValue& v, vcl::TReader&) {
                             static_cast<TProbe*>(o)->value = v;
                           }, nullptr});
      i.Add(vcl::IntProp("Mark", &TProbe::SetMark));
      i.Add(vcl::IntProp("Fail", &TProbe::SetFail));
      i.Add(vcl::RefProp("Peer", &TProbe::SetPeer));
      return i;
    }();
    return &info;
  }

  void SetMark(int mark) {
    this->mark = mark;
    loadingAtMark = HasState(vcl::csLoading);
  }
  void SetFail(int) { throw vcl::EConvertError("boom"); }
  void SetPeer(TProbe* p) {
    peer = p;
    loadingAtPeer = HasState(vcl::csLoading);
  }
  void Loaded() override {
    TComponent::Loaded();
    LoadedOrder().push_back(Name());
  }

  vcl::TFormValue value;
  int mark = 0;
  bool loadingAtMark = false;
  TProbe* peer = nullptr;
  bool loadingAtPeer = false;
};

class Reader : public ::testing::Test {
 protected:
  void SetUp() override {
    vcl::RegisterClass(TProbe::StaticClassInfo());
    LoadedOrder().clear();
  }
  // Reads `body` as the layout of a TProbe root named Root.
  void Read(const std::string& body) {
    vcl::TReader reader(root_.get());
    reader.ReadRoot("object Root: TProbe\n" + body + "end\n");
  }
  std::unique_ptr<TProbe> root_ = std::make_unique<TProbe>(nullptr);
};

using Kind = vcl::TFormValue::Kind;

struct ValueRow {
  const char* text;
  Kind kind;
  std::string string;  // String, Ident or Binary content
  long long integer = 0;
};

TEST_F(Reader, ReadsEveryValueShape) {
  const ValueRow table[] = {
      {"'it''s'", Kind::String, "it's"},
      {"'a'#13#10'b'", Kind::String, "a\r\nb"},
      {"#1054#1050", Kind::String, "ОК"},  // code points, as UTF-8
      {"'Открыть порт'", Kind::String, "Открыть порт"},
      {"'one' +\n    ' two' +\n    #33", Kind::String, "one two!"},
      {"''", Kind::String, ""},
      {"-11", Kind::Integer, "", -11},
      {"$FF", Kind::Integer, "", 255},
      {"clBtnFace", Kind::Ident, "clBtnFace"},
      {"True", Kind::Ident, "True"},
      {"{0A0b FF}", Kind::Binary, "\x0a\x0b\xff"},
  };
  for (const auto& row : table) {
    SCOPED_TRACE(row.text);
    Read(std::string("  Value = ") + row.text + "\n");
    ASSERT_EQ(root_->value.kind, row.kind);
    if (row.kind == Kind::Integer)
      EXPECT_EQ(root_->value.integer, row.integer);
    else
      EXPECT_EQ(root_->value.text, row.string);
  }

  Read("  Value = [evRxChar, evCTS]\n");
  ASSERT_EQ(root_->value.kind, Kind::Set);
  EXPECT_EQ(root_->value.set, (std::vector<std::string>{"evRxChar", "evCTS"}));
  Read("  Value = []\n");
  EXPECT_TRUE(root_->value.set.empty());
  Read("  Value = (\n    'COM1'\n    'COM2')\n");
  ASSERT_EQ(root_->value.kind, Kind::List);
  ASSERT_EQ(root_->value.items.size(), 2u);
  EXPECT_EQ(root_->value.items[1].text, "COM2");
  Read("  Value = 1.5\n");
  ASSERT_EQ(root_->value.kind, Kind::Float);
  EXPECT_DOUBLE_EQ(root_->value.number, 1.5);
}

TEST_F(Reader, NestsOwnsResolvesLaterReferencesAndLoadsInCreationOrder) {
  std::vector<std::pair<std::string, std::string>> placed;
  auto saved = vcl::TReader::SetParentHook();
  vcl::TReader::SetParentHook() = [&](vcl::TComponent* child, vcl::TComponent* parent) {
    placed.emplace_back(child->Name(), parent->Name());
  };
  Read(
      "  Mark = 1\n"
      "  object First: TProbe\n"
      "    Peer = Third\n"  // named before it exists
      "    object Second: TProbe\n"
      "      Mark = 2\n"
      "    end\n"
      "  end\n"
      "  object Third: TProbe\n"
      "    Peer = Root\n"
      "  end\n");
  vcl::TReader::SetParentHook() = saved;

  EXPECT_EQ(placed, (std::vector<std::pair<std::string, std::string>>{
                        {"First", "Root"}, {"Second", "First"}, {"Third", "Root"}}));
  ASSERT_EQ(root_->ComponentCount(), 3);  // all owned by the root
  auto* first = static_cast<TProbe*>(root_->FindComponent("First"));
  auto* second = static_cast<TProbe*>(root_->FindComponent("Second"));
  auto* third = static_cast<TProbe*>(root_->FindComponent("Third"));
  ASSERT_TRUE(first && second && third);
  EXPECT_EQ(first->peer, third);
  EXPECT_EQ(third->peer, root_.get());
  // Everything was still loading while it was set and resolved.
  EXPECT_TRUE(root_->loadingAtMark);
  EXPECT_TRUE(second->loadingAtMark);
  EXPECT_TRUE(first->loadingAtPeer);
  EXPECT_EQ(LoadedOrder(), (std::vector<std::string>{"Root", "First", "Second", "Third"}));
  for (vcl::TComponent* c : {static_cast<vcl::TComponent*>(root_.get()), static_cast<vcl::TComponent*>(first),
                             static_cast<vcl::TComponent*>(second), static_cast<vcl::TComponent*>(third)})
    EXPECT_FALSE(c->HasState(vcl::csLoading | vcl::csReading)) << c->Name();
}

struct ErrorRow {
  const char* body;
  const char* message;  // the whole message, or its start
  int componentsLeft;   // what the root still owns afterwards
};

TEST_F(Reader, FailuresBecomeReadErrorsNamingComponentAndProperty) {
  const ErrorRow table[] = {
      {"  object Probe1: TProbe\n    Fail = 1\n  end\n", "Error reading Probe1.Fail: boom", 0},
      {"  object Probe1: TProbe\n  end\n  object Probe2: TProbe\n    Bogus = 1\n  end\n",
       "Error reading Probe2.Bogus: Property Bogus does not exist", 1},
      {"  object Probe1: TProbe\n    Mark = 'text'\n  end\n",
       "Error reading Probe1.Mark: Invalid property value", 0},
      {"  object Probe1: TProbe\n    object Inner: TProbe\n    end\n    Fail = 1\n  end\n",
       "Error reading Probe1.Fail: boom", 0},
      {"  object Probe1: TProbe\n    Peer = Nobody\n  end\n",
       "Error reading Probe1.Peer: Invalid reference to Nobody", 1},
      {"  object Probe1: TNoSuchClass\n  end\n", "Error reading Probe1: Class TNoSuchClass not found", 0},
      {"  Mark = ,\n", "Layout line 2: value expected", 0},
      {"  Value = 'open\n", "Layout line 2: unterminated string", 0},
  };
  for (const auto& row : table) {
    SCOPED_TRACE(row.body);
    root_ = std::make_unique<TProbe>(nullptr);
    try {
      Read(row.body);
      ADD_FAILURE() << "no read error";
    } catch (const vcl::EReadError& e) {
      EXPECT_EQ(e.Message, row.message);
    }
    EXPECT_EQ(root_->ComponentCount(), row.componentsLeft);
  }
}

TEST_F(Reader, MissingLayoutResourceIsReported) {
  EXPECT_THROW(vcl::ReadComponentRes("NoSuchLayout", root_.get()), vcl::EResNotFound);
}

// --- a visual form read from a layout resource ------------------------------

class TSampleForm : public vcl::TForm {
 public:
  explicit TSampleForm(vcl::TComponent* owner) : TForm(owner) { ReadLayout("SampleForm"); }
  ~TSampleForm() override { BeforeDestruction(); }
  const vcl::TClassInfo* ClassInfo() const override { return StaticClassInfo(); }
  static const vcl::TClassInfo* StaticClassInfo() {
    static const vcl::TClassInfo info = [] {
      vcl::TClassInfo i("TSampleForm", vcl::TForm::StaticClassInfo());
      i.Add(vcl::PublishedMethod("GoClick", &TSampleForm::GoClick));
      i.Add(vcl::PublishedMethod("FormClose", &TSampleForm::FormClose));
      return i;
    }();
    return &info;
  }
  void GoClick(vcl::TObject* sender) { clicks.push_back(sender); }
  void FormClose(vcl::TObject*, vcl::TCloseAction&) {}
  std::vector<vcl::TObject*> clicks;
};

const char* const kSampleLayout = R"(object SampleForm: TSampleForm
  Left = 10
  Top = 20
  Caption = 'Sample'
  ClientWidth = 300
  ClientHeight = 200
  Font.Height = -13
  Font.Style = [fsBold]
  ActiveControl = Choice
  OnClose = FormClose
  object Box: TGroupBox
    Left = 8
    Top = 8
    Width = 200
    Height = 100
    Caption = 'Box'
    TabOrder = 1
    object Caption1: TLabel
      Left = 4
      Top = 16
      Width = 50
      Height = 13
      Caption = 'Line one'#13#10'Line two'
      FocusControl = Choice
    end
    object Go: TButton
      Left = 60
      Top = 40
      Width = 75
      Height = 25
      Caption = 'Go'
      OnClick = GoClick
    end
  end
  object Choice: TComboBox
    Left = 8
    Top = 120
    Width = 100
    Height = 21
    Style = csDropDownList
    Items.Strings = (
      'COM1'
      'COM2')
    ItemIndex = 1
    TabOrder = 0
  end
end
)";

TEST(ReaderForm, BuildsAFormWithParentsHandlersListsAndFonts) {
  vcl::RegisterResource("SampleForm", kSampleLayout);
  auto form = std::make_unique<TSampleForm>(nullptr);
  auto* box = dynamic_cast<vcl::TGroupBox*>(form->FindComponent("Box"));
  auto* label = dynamic_cast<vcl::TLabel*>(form->FindComponent("Caption1"));
  auto* go = dynamic_cast<vcl::TButton*>(form->FindComponent("Go"));
  auto* choice = dynamic_cast<vcl::TComboBox*>(form->FindComponent("Choice"));
  ASSERT_TRUE(box && label && go && choice);
  EXPECT_EQ(form->Caption(), "Sample");
  EXPECT_EQ(form->ClientWidth(), 300);
  EXPECT_EQ(label->Parent(), box);
  EXPECT_EQ(go->Parent(), box);
  EXPECT_EQ(choice->Parent(), form.get());
  EXPECT_EQ(label->Caption(), "Line one\r\nLine two");
  EXPECT_EQ(label->FocusControl(), choice);
  EXPECT_EQ(choice->Items()->Count(), 2);
  EXPECT_EQ(choice->ItemIndex(), 1);
  EXPECT_EQ(choice->Text(), "COM2");
  EXPECT_EQ(choice->TabOrder(), 0);
  EXPECT_EQ(box->TabOrder(), 1);
  // The form's font reaches the controls that keep their parent's font.
  EXPECT_EQ(go->Font()->Height(), -13);
  EXPECT_TRUE(go->ParentFont());
  EXPECT_TRUE(go->Font()->Style().Contains(vcl::fsBold));

  form->Show();
  EXPECT_EQ(form->ActiveControl(), choice);
  ASSERT_TRUE(vcl::testing::ClickControl(go));
  EXPECT_EQ(form->clicks, std::vector<vcl::TObject*>{go});
}

}  // namespace
