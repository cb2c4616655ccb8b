// Published properties and methods: the tables the layout reader works from.
//
// Each runtime class that can appear in a layout has one static TClassInfo
// naming its published properties (with a writer that goes through the real
// setter) and, for forms, its published methods (handlers bound by name).
#pragma once

#include <any>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "System.h"

namespace vcl {

class TComponent;
class TPersistent;
class TReader;

// A property value as a layout writes it.
struct TFormValue {
  enum class Kind { Ident, Integer, Float, String, Set, Binary, List };
  Kind kind = Kind::Ident;
  std::string text;                // Ident name, String bytes (UTF-8), Binary bytes
  long long integer = 0;           // Integer
  double number = 0;               // Float
  std::vector<std::string> set;    // Set members, as written
  std::vector<TFormValue> items;   // List items: ( 'a' 'b' )

  // Readable form for error messages.
  std::string Describe() const;
};

struct TPropInfo {
  std::string name;
  // Sets the property from a layout value through the property's setter.
  // Throws EConvertError (or the setter's own exception) on a bad value.
  std::function<void(TObject* instance, const TFormValue& value, TReader& reader)> write;
  // For class-typed properties (Font, FlowControl): the object whose own
  // properties a dotted name ("FlowControl.ControlDTR") reaches.
  std::function<TPersistent*(TObject* instance)> subObject;
};

// A published method of a form: makes the event closure bound to `self`.
// The closure comes back in a std::any holding the exact TEvent type, so an
// event property can check that the handler's shape matches.
struct TMethodInfo {
  std::string name;
  std::function<std::any(TObject* self)> make;
};

class TClassInfo {
 public:
  using Factory = std::function<TComponent*(TComponent* owner)>;

  TClassInfo(std::string name, const TClassInfo* parent, Factory create = nullptr)
      : name_(std::move(name)), parent_(parent), create_(std::move(create)) {}

  const std::string& Name() const { return name_; }
  const TClassInfo* Parent() const { return parent_; }
  const Factory& Create() const { return create_; }
  bool InheritsFrom(const TClassInfo* other) const;

  TClassInfo& Add(TPropInfo prop);
  TClassInfo& Add(TMethodInfo method);
  // Case-insensitive, searching the parents too.
  const TPropInfo* FindProp(const std::string& name) const;
  const TMethodInfo* FindMethod(const std::string& name) const;
  const std::vector<TPropInfo>& Props() const { return props_; }

 private:
  std::string name_;
  const TClassInfo* parent_;
  Factory create_;
  std::vector<TPropInfo> props_;
  std::vector<TMethodInfo> methods_;
};

// Classes the reader may create by name.
void RegisterClass(const TClassInfo* info);
const TClassInfo* FindClass(const std::string& name);

// Names of an enumeration's values, in ordinal order.
using TEnumNames = std::vector<std::string>;
// Ordinal of `name` in `names` (case-insensitive); throws EConvertError.
int EnumOrdinal(const TEnumNames& names, const std::string& name);

// --- builders for property tables ------------------------------------------
// Each takes the class and a setter member function; values are converted
// from the layout and passed to the setter, so stored settings behave exactly
// like settings made from code.

bool ValueToBool(const TFormValue& v);
long long ValueToInt(const TFormValue& v);
std::string ValueToString(const TFormValue& v);  // strings; also accepts an identifier
char ValueToChar(const TFormValue& v);           // #13, 'A' or an integer

template <class C, class T>
TPropInfo IntProp(const char* name, void (C::*setter)(T)) {
  return {name, [setter](TObject* o, const TFormValue& v, TReader&) {
            (static_cast<C*>(o)->*setter)(static_cast<T>(ValueToInt(v)));
          }, nullptr};
}

template <class C>
TPropInfo BoolProp(const char* name, void (C::*setter)(bool)) {
  return {name, [setter](TObject* o, const TFormValue& v, TReader&) {
            (static_cast<C*>(o)->*setter)(ValueToBool(v));
          }, nullptr};
}

template <class C, class S>
TPropInfo StrProp(const char* name, void (C::*setter)(S)) {
  return {name, [setter](TObject* o, const TFormValue& v, TReader&) {
            (static_cast<C*>(o)->*setter)(ValueToString(v));
          }, nullptr};
}

template <class C>
TPropInfo CharProp(const char* name, void (C::*setter)(char)) {
  return {name, [setter](TObject* o, const TFormValue& v, TReader&) {
            (static_cast<C*>(o)->*setter)(ValueToChar(v));
          }, nullptr};
}

template <class C, class E>
TPropInfo EnumProp(const char* name, void (C::*setter)(E), const TEnumNames& names) {
  return {name, [setter, &names](TObject* o, const TFormValue& v, TReader&) {
            if (v.kind != TFormValue::Kind::Ident)
              throw EConvertError("Invalid property value");
            (static_cast<C*>(o)->*setter)(static_cast<E>(EnumOrdinal(names, v.text)));
          }, nullptr};
}

template <class C, class S, class E>
TPropInfo SetProp(const char* name, void (C::*setter)(S), const TEnumNames& names) {
  return {name, [setter, &names](TObject* o, const TFormValue& v, TReader&) {
            if (v.kind != TFormValue::Kind::Set) throw EConvertError("Invalid property value");
            S s;
            for (const auto& m : v.set) s.Include(static_cast<E>(EnumOrdinal(names, m)));
            (static_cast<C*>(o)->*setter)(s);
          }, nullptr};
}

// A property holding an owned sub-object (Font, FlowControl): only reached
// through dotted names.
template <class C, class P>
TPropInfo SubProp(const char* name, P* (C::*getter)() const) {
  TPropInfo p{name, nullptr, nullptr};
  p.write = [](TObject*, const TFormValue&, TReader&) {
    throw EConvertError("Invalid property value");
  };
  p.subObject = [getter](TObject* o) -> TPersistent* { return (static_cast<C*>(o)->*getter)(); };
  return p;
}

// A reference to another component of the form, resolved by name after the
// whole layout has been read.
void DeferComponentReference(TReader& reader, TObject* instance, const std::string& name,
                             std::function<void(TComponent*)> assign);

template <class C, class R>
TPropInfo RefProp(const char* name, void (C::*setter)(R*)) {
  return {name, [setter](TObject* o, const TFormValue& v, TReader& reader) {
            if (v.kind != TFormValue::Kind::Ident) throw EConvertError("Invalid property value");
            C* self = static_cast<C*>(o);
            DeferComponentReference(reader, o, v.text, [self, setter](TComponent* c) {
              R* r = dynamic_cast<R*>(c);
              if (c && !r) throw EConvertError("Invalid property value");
              (self->*setter)(r);
            });
          }, nullptr};
}

// The published method of the form being read (the reader's root) named `name`.
// Throws EReadError when there is none.
std::any BindHandler(TReader& reader, const std::string& name);

// An event property: `OnClick = Button_OpenClick`.
template <class C, class Ev>
TPropInfo EventProp(const char* name, Ev C::*field) {
  return {name, [field](TObject* o, const TFormValue& v, TReader& reader) {
            if (v.kind != TFormValue::Kind::Ident) throw EConvertError("Invalid property value");
            std::any made = BindHandler(reader, v.text);
            const Ev* ev = std::any_cast<Ev>(&made);
            if (!ev) throw EConvertError("Invalid property value");
            static_cast<C*>(o)->*field = *ev;
          }, nullptr};
}

// An event property written through a setter.
template <class C, class Ev>
TPropInfo EventSetterProp(const char* name, void (C::*setter)(const Ev&)) {
  return {name, [setter](TObject* o, const TFormValue& v, TReader& reader) {
            if (v.kind != TFormValue::Kind::Ident) throw EConvertError("Invalid property value");
            std::any made = BindHandler(reader, v.text);
            const Ev* ev = std::any_cast<Ev>(&made);
            if (!ev) throw EConvertError("Invalid property value");
            (static_cast<C*>(o)->*setter)(*ev);
          }, nullptr};
}

// A published handler of a form class.
template <class C, class... Args>
TMethodInfo PublishedMethod(const char* name, void (C::*method)(Args...)) {
  return {name, [method](TObject* self) -> std::any {
            return TEvent<Args...>::Method(static_cast<C*>(self), method);
          }};
}

}  // namespace vcl
