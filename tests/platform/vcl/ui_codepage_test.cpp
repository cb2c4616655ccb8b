// Windows-1251 to and from UTF-8.
#include <gtest/gtest.h>

#include "CodePage.h"

namespace {

TEST(CodePage, EveryByteHasACharacterAndComesBack) {
  std::string all;
  for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
  const std::string text = vcl::Cp1251ToUtf8(all);
  EXPECT_EQ(vcl::Utf8ToCp1251(text), all);
}

struct BytePair {
  unsigned char byte;
  const char* utf8;
};

TEST(CodePage, BytesShowAsTheirCharacters) {
  const BytePair table[] = {
      {'A', "A"},       {'\r', "\r"},      {'\n', "\n"},     {0xC0, "А"},  {0xDF, "Я"},
      {0xE0, "а"},      {0xFF, "я"},       {0xA8, "Ё"},      {0xB8, "ё"},  {0xB9, "№"},
      {0x88, "€"},      {0x80, "Ђ"},       {0x96, "–"},      {0xAB, "«"},  {0xA0, "\u00A0"},
      {0x98, "\u0098"},
  };
  for (const auto& row : table) {
    SCOPED_TRACE(static_cast<int>(row.byte));
    EXPECT_EQ(vcl::Cp1251ToUtf8(std::string(1, static_cast<char>(row.byte))), row.utf8);
  }
}

struct TextPair {
  const char* utf8;
  std::string bytes;
};

TEST(CodePage, TypedTextBecomesBytesWithQuestionMarksForTheRest) {
  const TextPair table[] = {
      {"AT+CSQ\r\n", "AT+CSQ\r\n"},
      {"Привет", "\xCF\xF0\xE8\xE2\xE5\xF2"},
      {"ёЁ№", "\xB8\xA8\xB9"},
      {"中", "?"},                     // not on the page
      {"ü", "?"},                      // Latin-1, not on the page
      {"\xF0\x9F\x98\x80", "?"},       // a four-byte character
      {"a\xFF" "b", "a?b"},            // not UTF-8
      {"\xD0", "?"},                   // cut short
      {"\xC0\xAF", "??"},              // overlong
      {"\xED\xA0\x80", "???"},         // a surrogate
  };
  for (const auto& row : table) {
    SCOPED_TRACE(row.utf8);
    EXPECT_EQ(vcl::Utf8ToCp1251(row.utf8), row.bytes);
  }
}

}  // namespace
