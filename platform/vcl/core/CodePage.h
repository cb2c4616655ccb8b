// Windows-1251, the Russian 8-bit code page, to and from UTF-8.
//
// Bytes from the serial line are shown with this page, and text typed for
// the line is encoded with it. Every byte has a character (0x98, which the
// page leaves unassigned, stands for U+0098), so decoding never loses a
// byte; a character the page lacks is encoded as "?".
#pragma once

#include <string>
#include <string_view>

namespace vcl {

// Each byte of `bytes` as its character, in UTF-8.
std::string Cp1251ToUtf8(std::string_view bytes);
// Each character of the UTF-8 `text` as its byte; "?" for a character the
// page lacks and for each byte that is not valid UTF-8.
std::string Utf8ToCp1251(std::string_view text);

}  // namespace vcl
