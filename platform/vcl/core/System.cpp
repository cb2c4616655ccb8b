#include "System.h"

#include <cstdarg>
#include <cstdio>
#include <vector>

#include "TypInfo.h"

namespace vcl {

const TClassInfo* TObject::StaticClassInfo() {
  static const TClassInfo info("TObject", nullptr);
  return &info;
}

const TClassInfo* TObject::ClassInfo() const { return StaticClassInfo(); }

std::string TObject::ClassName() const { return ClassInfo()->Name(); }

bool TObject::InheritsFrom(const TClassInfo* info) const {
  return ClassInfo()->InheritsFrom(info);
}

std::string UpperCase(std::string text) {
  for (char& c : text)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return text;
}

std::string Format(const char* format, ...) {
  va_list args;
  va_start(args, format);
  va_list copy;
  va_copy(copy, args);
  const int needed = std::vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  std::string out;
  if (needed > 0) {
    std::vector<char> buffer(static_cast<std::size_t>(needed) + 1);
    std::vsnprintf(buffer.data(), buffer.size(), format, args);
    out.assign(buffer.data(), static_cast<std::size_t>(needed));
  }
  va_end(args);
  return out;
}

}  // namespace vcl
