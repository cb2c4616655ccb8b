// Base of the component runtime: the root object, exceptions, event
// closures, small sets and the "%d"-style formatting helper. No Qt here.
#pragma once

#include <cstdint>
#include <exception>
#include <functional>
#include <string>
#include <type_traits>
#include <utility>

namespace vcl {

class TClassInfo;

// Root of every runtime class. ClassInfo() gives the table of published
// properties and methods that the layout reader uses.
class TObject {
 public:
  TObject() = default;
  TObject(const TObject&) = delete;
  TObject& operator=(const TObject&) = delete;
  virtual ~TObject() = default;

  virtual const TClassInfo* ClassInfo() const;
  // The class's name as published ("TComPort"); "TObject" for the root.
  std::string ClassName() const;
  bool InheritsFrom(const TClassInfo* info) const;
  static const TClassInfo* StaticClassInfo();
};

// Base of the runtime's exceptions: holds its message.
class Exception : public std::exception {
 public:
  explicit Exception(std::string message) : Message(std::move(message)) {}
  const char* what() const noexcept override { return Message.c_str(); }
  std::string Message;
};

class EConvertError : public Exception {
  using Exception::Exception;
};
class EListError : public Exception {
  using Exception::Exception;
};
class EReadError : public Exception {
  using Exception::Exception;
};
class EResNotFound : public Exception {
  using Exception::Exception;
};
class EThread : public Exception {
  using Exception::Exception;
};

// Upper case of the letters a to z only; every other byte stays as it is.
// Names of classes, properties, resources and ports compare through it.
std::string UpperCase(std::string text);

// printf-style formatting into a std::string ("%d", "%s", "%x" ...).
std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));

// An event: a (handler, object) pair. It counts as assigned when its code part
// is set; callers test Assigned() before calling, as the components do.
template <class... Args>
class TEvent {
 public:
  using Code = std::function<void(Args...)>;

  TEvent() = default;
  TEvent(std::nullptr_t) {}
  TEvent(Code code, const void* data) : code_(std::move(code)), data_(data) {}

  // Binds a method of an object: MakeEvent(form, &TForm1::ComPortOpen).
  template <class C>
  static TEvent Method(C* object, void (C::*method)(Args...)) {
    return TEvent([object, method](Args... a) { (object->*method)(std::forward<Args>(a)...); },
                  object);
  }

  bool Assigned() const { return static_cast<bool>(code_); }
  const void* Data() const { return data_; }
  void Clear() {
    code_ = nullptr;
    data_ = nullptr;
  }
  void operator()(Args... args) const { code_(std::forward<Args>(args)...); }

 private:
  Code code_;
  const void* data_ = nullptr;
};

template <class C, class... Args>
TEvent<Args...> MakeEvent(C* object, void (C::*method)(Args...)) {
  return TEvent<Args...>::Method(object, method);
}

using TNotifyEvent = TEvent<TObject*>;

// A set over an enumeration numbered from 0: member N is bit N.
template <class E, class Bits = std::uint32_t>
class TSet {
 public:
  constexpr TSet() = default;
  constexpr TSet(std::initializer_list<E> members) {
    for (E m : members) Include(m);
  }
  static constexpr TSet FromBits(Bits bits) {
    TSet s;
    s.bits_ = bits;
    return s;
  }
  constexpr Bits ToBits() const { return bits_; }
  constexpr bool Contains(E m) const { return (bits_ >> static_cast<unsigned>(m)) & 1u; }
  constexpr TSet& Include(E m) {
    bits_ = static_cast<Bits>(bits_ | (Bits(1) << static_cast<unsigned>(m)));
    return *this;
  }
  constexpr TSet& Exclude(E m) {
    bits_ = static_cast<Bits>(bits_ & ~(Bits(1) << static_cast<unsigned>(m)));
    return *this;
  }
  constexpr bool Empty() const { return bits_ == 0; }
  constexpr TSet operator+(TSet o) const { return FromBits(static_cast<Bits>(bits_ | o.bits_)); }
  constexpr TSet operator-(TSet o) const { return FromBits(static_cast<Bits>(bits_ & ~o.bits_)); }
  constexpr TSet operator*(TSet o) const { return FromBits(static_cast<Bits>(bits_ & o.bits_)); }
  constexpr bool operator==(const TSet&) const = default;

 private:
  Bits bits_ = 0;
};

}  // namespace vcl
