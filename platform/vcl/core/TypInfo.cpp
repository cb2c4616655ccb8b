#include "TypInfo.h"

#include <map>
#include <mutex>

#include "Classes.h"

namespace vcl {

namespace {

struct ClassRegistry {
  std::mutex lock;
  std::map<std::string, const TClassInfo*> byName;
};

ClassRegistry& Registry() {
  static ClassRegistry registry;
  return registry;
}

}  // namespace

std::string TFormValue::Describe() const {
  switch (kind) {
    case Kind::Ident: return text;
    case Kind::Integer: return std::to_string(integer);
    case Kind::Float: return std::to_string(number);
    case Kind::String: return "'" + text + "'";
    case Kind::Binary: return "{binary}";
    case Kind::Set: {
      std::string s = "[";
      for (std::size_t i = 0; i < set.size(); ++i) s += (i ? ", " : "") + set[i];
      return s + "]";
    }
    case Kind::List: return "(list)";
  }
  return "?";
}

bool TClassInfo::InheritsFrom(const TClassInfo* other) const {
  for (const TClassInfo* c = this; c; c = c->parent_)
    if (c == other) return true;
  return false;
}

TClassInfo& TClassInfo::Add(TPropInfo prop) {
  props_.push_back(std::move(prop));
  return *this;
}

TClassInfo& TClassInfo::Add(TMethodInfo method) {
  methods_.push_back(std::move(method));
  return *this;
}

const TPropInfo* TClassInfo::FindProp(const std::string& name) const {
  const std::string key = UpperCase(name);
  for (const TClassInfo* c = this; c; c = c->parent_)
    for (const auto& p : c->props_)
      if (UpperCase(p.name) == key) return &p;
  return nullptr;
}

const TMethodInfo* TClassInfo::FindMethod(const std::string& name) const {
  const std::string key = UpperCase(name);
  for (const TClassInfo* c = this; c; c = c->parent_)
    for (const auto& m : c->methods_)
      if (UpperCase(m.name) == key) return &m;
  return nullptr;
}

void RegisterClass(const TClassInfo* info) {
  auto& r = Registry();
  std::lock_guard<std::mutex> guard(r.lock);
  r.byName[UpperCase(info->Name())] = info;
}

const TClassInfo* FindClass(const std::string& name) {
  auto& r = Registry();
  std::lock_guard<std::mutex> guard(r.lock);
  auto it = r.byName.find(UpperCase(name));
  return it == r.byName.end() ? nullptr : it->second;
}

int EnumOrdinal(const TEnumNames& names, const std::string& name) {
  const std::string key = UpperCase(name);
  for (std::size_t i = 0; i < names.size(); ++i)
    if (UpperCase(names[i]) == key) return static_cast<int>(i);
  throw EConvertError("Invalid property value");
}

bool ValueToBool(const TFormValue& v) {
  if (v.kind == TFormValue::Kind::Ident) {
    const std::string u = UpperCase(v.text);
    if (u == "TRUE") return true;
    if (u == "FALSE") return false;
  }
  throw EConvertError("Invalid property value");
}

long long ValueToInt(const TFormValue& v) {
  if (v.kind == TFormValue::Kind::Integer) return v.integer;
  throw EConvertError("Invalid property value");
}

std::string ValueToString(const TFormValue& v) {
  if (v.kind == TFormValue::Kind::String || v.kind == TFormValue::Kind::Ident) return v.text;
  throw EConvertError("Invalid property value");
}

char ValueToChar(const TFormValue& v) {
  if (v.kind == TFormValue::Kind::String && v.text.size() == 1) return v.text[0];
  if (v.kind == TFormValue::Kind::Integer && v.integer >= 0 && v.integer <= 255)
    return static_cast<char>(v.integer);
  throw EConvertError("Invalid property value");
}

}  // namespace vcl
