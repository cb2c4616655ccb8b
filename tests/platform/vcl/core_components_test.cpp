// Components: ownership, removal notices, loading state, copying, and the
// string list's sort.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Classes.h"

using namespace vcl;

namespace {

std::vector<std::string> g_events;

// A component that records what it hears and names itself.
class Probe : public TComponent {
 public:
  Probe(TComponent* owner, const std::string& name) : TComponent(owner) { SetName(name); }
  ~Probe() override {
    BeforeDestruction();
    g_events.push_back("freed " + Name());
  }
  TComponent* watched = nullptr;
  void Loaded() override {
    TComponent::Loaded();
    g_events.push_back("loaded " + Name());
  }

 protected:
  void Notification(TComponent* c, TOperation op) override {
    TComponent::Notification(c, op);
    if (op == TOperation::opRemove && c == watched) {
      // The partner is still whole here: its name is readable.
      g_events.push_back(Name() + " hears removal of " + c->Name());
      watched = nullptr;
    }
  }
};

class TApple : public TPersistent {
 public:
  static const TClassInfo* StaticClassInfo() {
    static const TClassInfo info("TApple", TPersistent::StaticClassInfo());
    return &info;
  }
  const TClassInfo* ClassInfo() const override { return StaticClassInfo(); }
  int weight = 0;

 protected:
  void AssignTo(TPersistent* dest) override {
    if (auto* a = dynamic_cast<TApple*>(dest))
      a->weight = weight;
    else
      TPersistent::AssignTo(dest);
  }
};

class TPear : public TPersistent {
 public:
  static const TClassInfo* StaticClassInfo() {
    static const TClassInfo info("TPear", TPersistent::StaticClassInfo());
    return &info;
  }
  const TClassInfo* ClassInfo() const override { return StaticClassInfo(); }
};

}  // namespace

TEST(ComponentTest, OwnerFreesOwnedComponentsLastFirst) {
  g_events.clear();
  auto* owner = new Probe(nullptr, "owner");
  new Probe(owner, "a");
  new Probe(owner, "b");
  EXPECT_EQ(owner->ComponentCount(), 2);
  EXPECT_EQ(owner->FindComponent("A")->Name(), "a");
  delete owner;
  EXPECT_EQ(g_events, (std::vector<std::string>{"freed b", "freed a", "freed owner"}));
}

TEST(ComponentTest, FreeNotificationIsHeardBeforeTheMemoryGoesEitherWay) {
  g_events.clear();
  auto* port = new Probe(nullptr, "port");
  auto* led = new Probe(nullptr, "led");
  led->watched = port;
  led->FreeNotification(port);
  delete port;
  EXPECT_EQ(g_events, (std::vector<std::string>{"led hears removal of port", "freed port"}));
  EXPECT_EQ(led->watched, nullptr);

  // Registered both ways: the other order must not tell a freed component.
  g_events.clear();
  auto* port2 = new Probe(nullptr, "port2");
  port2->watched = led;
  led->FreeNotification(port2);
  delete led;
  EXPECT_EQ(g_events, (std::vector<std::string>{"port2 hears removal of led", "freed led"}));
  delete port2;
}

TEST(ComponentTest, RemovedFreeNotificationIsNotHeard) {
  g_events.clear();
  auto* port = new Probe(nullptr, "port");
  auto* led = new Probe(nullptr, "led");
  led->watched = port;
  led->FreeNotification(port);
  led->RemoveFreeNotification(port);
  delete port;
  EXPECT_EQ(g_events, (std::vector<std::string>{"freed port"}));
  delete led;
}

TEST(ComponentTest, SiblingsHearRemovalThroughTheOwner) {
  g_events.clear();
  auto* form = new Probe(nullptr, "form");
  auto* port = new Probe(form, "port");
  auto* led = new Probe(form, "led");
  led->watched = port;
  delete port;
  EXPECT_EQ(g_events, (std::vector<std::string>{"led hears removal of port", "freed port"}));
  EXPECT_EQ(form->ComponentCount(), 1);
  delete form;
}

TEST(ComponentTest, LoadedLeavesTheLoadingState) {
  g_events.clear();
  Probe p(nullptr, "p");
  p.SetComponentState(csLoading, true);
  EXPECT_TRUE(p.HasState(csLoading));
  p.Loaded();
  EXPECT_FALSE(p.HasState(csLoading));
}

TEST(PersistentTest, AssignCopiesWithinAClassAndRaisesTheConversionErrorAcross) {
  TApple a, b;
  a.weight = 5;
  b.Assign(&a);
  EXPECT_EQ(b.weight, 5);

  TPear pear;
  try {
    pear.Assign(&a);
    FAIL() << "no conversion error";
  } catch (const EConvertError& e) {
    EXPECT_EQ(e.Message, "Cannot assign a TApple to a TPear");
  }
  try {
    a.Assign(&pear);
    FAIL() << "no conversion error";
  } catch (const EConvertError& e) {
    EXPECT_EQ(e.Message, "Cannot assign a TPear to a TApple");
  }
}

TEST(StringListTest, SortIsCaseInsensitiveCharacterByCharacterAndStable) {
  TStringList list;
  for (const char* s : {"COM2", "com10", "COM1", "ttyUSB0", "COM10", "Com1"}) list.Add(s);
  list.Sort();
  std::vector<std::string> got;
  for (int i = 0; i < list.Count(); ++i) got.push_back(list.Strings(i));
  EXPECT_EQ(got, (std::vector<std::string>{"COM1", "Com1", "com10", "COM10", "COM2", "ttyUSB0"}));
}

TEST(StringListTest, CompareTextFoldsCyrillicToo) {
  EXPECT_EQ(AnsiCompareText("порт", "ПОРТ"), 0);
  EXPECT_LT(AnsiCompareText("COM1", "COM10"), 0);
  EXPECT_GT(AnsiCompareText("COM2", "com10"), 0);
  TStringList list;
  list.Add("Порт");
  EXPECT_EQ(list.IndexOf("ПОРТ"), 0);
  EXPECT_EQ(list.IndexOf("порты"), -1);
}

TEST(FormatTest, FormatsSignedDecimalsAndStrings) {
  EXPECT_EQ(Format("code (win error code: %d)", -1), "code (win error code: -1)");
  EXPECT_EQ(Format("Cannot assign a %s to a %s", "TA", "TB"), "Cannot assign a TA to a TB");
}

TEST(ListTest, IndexErrorsRaiseListError) {
  TList list;
  int x = 0;
  list.Add(&x);
  EXPECT_EQ(list.IndexOf(&x), 0);
  EXPECT_THROW(list.Items(1), EListError);
  EXPECT_EQ(list.Remove(&x), 0);
  EXPECT_EQ(list.Count(), 0);
}
