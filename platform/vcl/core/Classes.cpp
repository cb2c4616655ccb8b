#include "Classes.h"

#include <algorithm>

namespace vcl {

// --- TPersistent ------------------------------------------------------------

const TClassInfo* TPersistent::StaticClassInfo() {
  static const TClassInfo info("TPersistent", TObject::StaticClassInfo());
  return &info;
}

const TClassInfo* TPersistent::ClassInfo() const { return StaticClassInfo(); }

void TPersistent::Assign(TPersistent* source) {
  if (source)
    source->AssignTo(this);
  else
    AssignError(nullptr);
}

void TPersistent::AssignTo(TPersistent* dest) { dest->AssignError(this); }

void TPersistent::AssignError(TPersistent* source) {
  const std::string sourceName = source ? source->ClassName() : "nil";
  throw EConvertError(Format("Cannot assign a %s to a %s", sourceName.c_str(), ClassName().c_str()));
}

// --- TComponent -------------------------------------------------------------

namespace {
bool SameText(const std::string& a, const std::string& b) {
  return a.size() == b.size() && AnsiCompareText(a, b) == 0;
}
void Erase(std::vector<TComponent*>& list, TComponent* c) {
  list.erase(std::remove(list.begin(), list.end(), c), list.end());
}
}  // namespace

const TClassInfo* TComponent::StaticClassInfo() {
  static const TClassInfo info = [] {
    TClassInfo i("TComponent", TPersistent::StaticClassInfo());
    i.Add(StrProp("Name", &TComponent::SetName));
    i.Add(IntProp("Tag", &TComponent::SetTag));
    return i;
  }();
  return &info;
}

const TClassInfo* TComponent::ClassInfo() const { return StaticClassInfo(); }

TComponent::TComponent(TComponent* owner) {
  if (owner) owner->InsertComponent(this);
}

TComponent::~TComponent() { BeforeDestruction(); }

void TComponent::BeforeDestruction() {
  if (destructionStarted_) return;
  destructionStarted_ = true;
  state_ |= csDestroying;
  // Everyone who asked to be told hears of the removal; each entry leaves the
  // list before its component is told, so a partner that calls back (for
  // example RemoveFreeNotification) finds a consistent list.
  while (!freeNotifies_.empty()) {
    TComponent* partner = freeNotifies_.back();
    freeNotifies_.pop_back();
    Erase(partner->freeNotifies_, this);
    partner->Notification(this, TOperation::opRemove);
  }
  DestroyComponents();
  if (owner_) owner_->RemoveComponent(this);
}

void TComponent::SetName(const std::string& name) { name_ = name; }

void TComponent::SetComponentState(unsigned flags, bool on) {
  if (on)
    state_ |= flags;
  else
    state_ &= ~flags;
}

TComponent* TComponent::FindComponent(const std::string& name) const {
  if (name.empty()) return nullptr;
  for (TComponent* c : components_)
    if (SameText(c->name_, name)) return c;
  return nullptr;
}

void TComponent::InsertComponent(TComponent* component) {
  if (component->owner_) component->owner_->RemoveComponent(component);
  component->owner_ = this;
  components_.push_back(component);
  Notification(component, TOperation::opInsert);
}

void TComponent::RemoveComponent(TComponent* component) {
  Notification(component, TOperation::opRemove);
  component->owner_ = nullptr;
  Erase(components_, component);
}

void TComponent::DestroyComponents() {
  while (!components_.empty()) {
    TComponent* c = components_.back();
    components_.pop_back();
    c->owner_ = nullptr;
    delete c;
  }
}

void TComponent::FreeNotification(TComponent* component) {
  if (!component || component == this) return;
  if (std::find(freeNotifies_.begin(), freeNotifies_.end(), component) == freeNotifies_.end())
    freeNotifies_.push_back(component);
  if (std::find(component->freeNotifies_.begin(), component->freeNotifies_.end(), this) ==
      component->freeNotifies_.end())
    component->freeNotifies_.push_back(this);
}

void TComponent::RemoveFreeNotification(TComponent* component) {
  if (!component) return;
  Erase(freeNotifies_, component);
  Erase(component->freeNotifies_, this);
}

void TComponent::Loaded() { state_ &= ~csLoading; }

void TComponent::Notification(TComponent* component, TOperation operation) {
  if (operation == TOperation::opRemove && component) RemoveFreeNotification(component);
  // Owned components hear it too; walk a copy, a handler may free siblings.
  const std::vector<TComponent*> owned = components_;
  for (auto it = owned.rbegin(); it != owned.rend(); ++it) {
    if (std::find(components_.begin(), components_.end(), *it) != components_.end())
      (*it)->Notification(component, operation);
  }
}

// --- TList --------------------------------------------------------------------

void* TList::Items(int index) const {
  if (index < 0 || index >= Count()) throw EListError(Format("List index out of bounds (%d)", index));
  return items_[static_cast<std::size_t>(index)];
}

int TList::Add(void* item) {
  items_.push_back(item);
  return Count() - 1;
}

void TList::Insert(int index, void* item) {
  if (index < 0 || index > Count()) throw EListError(Format("List index out of bounds (%d)", index));
  items_.insert(items_.begin() + index, item);
}

void TList::Delete(int index) {
  if (index < 0 || index >= Count()) throw EListError(Format("List index out of bounds (%d)", index));
  items_.erase(items_.begin() + index);
}

int TList::IndexOf(void* item) const {
  auto it = std::find(items_.begin(), items_.end(), item);
  return it == items_.end() ? -1 : static_cast<int>(it - items_.begin());
}

int TList::Remove(void* item) {
  const int index = IndexOf(item);
  if (index >= 0) Delete(index);
  return index;
}

// --- text comparison ------------------------------------------------------------

namespace {

// Next code point of a UTF-8 text; a malformed byte stands for itself.
char32_t NextCodePoint(const std::string& s, std::size_t& i) {
  const auto b0 = static_cast<unsigned char>(s[i]);
  auto cont = [&](std::size_t k) -> int {
    if (i + k >= s.size()) return -1;
    const auto b = static_cast<unsigned char>(s[i + k]);
    return (b & 0xC0) == 0x80 ? (b & 0x3F) : -1;
  };
  if (b0 >= 0xC2 && b0 < 0xE0) {
    const int c1 = cont(1);
    if (c1 >= 0) {
      i += 2;
      return (char32_t(b0 & 0x1F) << 6) | char32_t(c1);
    }
  } else if (b0 >= 0xE0 && b0 < 0xF0) {
    const int c1 = cont(1), c2 = cont(2);
    if (c1 >= 0 && c2 >= 0) {
      i += 3;
      return (char32_t(b0 & 0x0F) << 12) | (char32_t(c1) << 6) | char32_t(c2);
    }
  }
  i += 1;
  return b0;
}

// Upper case for the scripts the tool shows: Latin and Cyrillic.
char32_t FoldCase(char32_t c) {
  if (c >= U'a' && c <= U'z') return c - U'a' + U'A';
  if (c >= 0x0430 && c <= 0x044F) return c - 0x20;
  if (c >= 0x0450 && c <= 0x045F) return c - 0x50;
  return c;
}

}  // namespace

int AnsiCompareText(const std::string& a, const std::string& b) {
  std::size_t i = 0, j = 0;
  while (i < a.size() && j < b.size()) {
    const char32_t ca = FoldCase(NextCodePoint(a, i));
    const char32_t cb = FoldCase(NextCodePoint(b, j));
    if (ca != cb) return ca < cb ? -1 : 1;
  }
  if (i < a.size()) return 1;
  if (j < b.size()) return -1;
  return 0;
}

// --- TStrings / TStringList -------------------------------------------------------

int TStrings::IndexOf(const std::string& s) const {
  for (int i = 0; i < Count(); ++i)
    if (SameText(Strings(i), s)) return i;
  return -1;
}

void TStrings::Assign(TPersistent* source) {
  if (auto* other = dynamic_cast<TStrings*>(source)) {
    if (other == this) return;
    BeginUpdate();
    Clear();
    for (int i = 0; i < other->Count(); ++i) Add(other->Strings(i));
    EndUpdate();
    return;
  }
  TPersistent::Assign(source);
}

std::string TStringList::Strings(int index) const {
  if (index < 0 || index >= Count()) throw EListError(Format("List index out of bounds (%d)", index));
  return items_[static_cast<std::size_t>(index)];
}

int TStringList::Add(const std::string& s) {
  items_.push_back(s);
  return Count() - 1;
}

void TStringList::Delete(int index) {
  if (index < 0 || index >= Count()) throw EListError(Format("List index out of bounds (%d)", index));
  items_.erase(items_.begin() + index);
}

void TStringList::Sort() {
  std::stable_sort(items_.begin(), items_.end(), [](const std::string& x, const std::string& y) {
    return AnsiCompareText(x, y) < 0;
  });
}

}  // namespace vcl
