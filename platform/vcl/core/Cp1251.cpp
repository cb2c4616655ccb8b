#include <array>
#include <cstdint>

#include "CodePage.h"

namespace vcl {

namespace {

// Code points of the bytes 0x80 to 0xBF; 0xC0 to 0xFF are U+0410 to U+044F.
constexpr std::array<char16_t, 64> kHigh = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021,  // 80
    0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F,  // 88
    0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90
    0x0098, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F,  // 98
    0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7,  // A0
    0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407,  // A8
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7,  // B0
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457,  // B8
};

char32_t Decode(unsigned char b) {
  if (b < 0x80) return b;
  if (b >= 0xC0) return 0x0410 + (b - 0xC0);
  return kHigh[b - 0x80];
}

// The byte for code point `cp`, or '?' when the page lacks it.
char Encode(char32_t cp) {
  if (cp < 0x80) return static_cast<char>(cp);
  if (cp >= 0x0410 && cp <= 0x044F) return static_cast<char>(0xC0 + (cp - 0x0410));
  for (std::size_t i = 0; i < kHigh.size(); ++i)
    if (kHigh[i] == cp) return static_cast<char>(0x80 + i);
  return '?';
}

void PutUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

}  // namespace

std::string Cp1251ToUtf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size() * 2);
  for (char c : bytes) PutUtf8(out, Decode(static_cast<unsigned char>(c)));
  return out;
}

std::string Utf8ToCp1251(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  std::size_t i = 0;
  while (i < text.size()) {
    const auto b = static_cast<unsigned char>(text[i]);
    std::size_t length = 0;
    char32_t cp = 0;
    if (b < 0x80) {
      length = 1;
      cp = b;
    } else if (b >= 0xC2 && b <= 0xDF) {
      length = 2;
      cp = b & 0x1F;
    } else if (b >= 0xE0 && b <= 0xEF) {
      length = 3;
      cp = b & 0x0F;
    } else if (b >= 0xF0 && b <= 0xF4) {
      length = 4;
      cp = b & 0x07;
    }
    bool valid = length > 0 && i + length <= text.size();
    for (std::size_t k = 1; valid && k < length; ++k) {
      const auto cont = static_cast<unsigned char>(text[i + k]);
      if ((cont & 0xC0) != 0x80) valid = false;
      cp = (cp << 6) | (cont & 0x3F);
    }
    // Overlong forms, surrogates and values past U+10FFFF are not characters.
    if (valid && ((length == 3 && cp < 0x800) || (length == 4 && (cp < 0x10000 || cp > 0x10FFFF)) ||
                  (cp >= 0xD800 && cp <= 0xDFFF)))
      valid = false;
    if (!valid) {
      out += '?';
      ++i;
      continue;
    }
    out += Encode(cp);
    i += length;
  }
  return out;
}

}  // namespace vcl
