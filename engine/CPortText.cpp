// Text forms of the settings and the list of the machine's serial ports.
// User-interface thread.
#include <iterator>
#include <string>

#include "CPort.h"

namespace {

constexpr const char* kBaudRateTexts[] = {"Custom", "110",   "300",   "600",    "1200",   "2400",
                                          "4800",   "9600",  "14400", "19200",  "38400",  "56000",
                                          "57600",  "115200", "128000", "256000"};
constexpr const char* kDataBitsTexts[] = {"5", "6", "7", "8"};
constexpr const char* kStopBitsTexts[] = {"1", "1.5", "2"};
constexpr const char* kParityTexts[] = {"None", "Odd", "Even", "Mark", "Space"};
constexpr const char* kFlowControlTexts[] = {"Hardware", "Software", "None", "Custom"};

// Only the letters a to z change; every other byte stays as it is.
std::string UpperAscii(const std::string& text) {
  std::string result = text;
  for (char& c : result)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return result;
}

template <std::size_t N>
std::string FormatOf(const char* const (&texts)[N], unsigned value) {
  return value < N ? texts[value] : "";
}

template <class E, std::size_t N>
E ParseOf(const char* const (&texts)[N], const std::string& text, E fallback) {
  const std::string wanted = UpperAscii(text);
  for (std::size_t i = 0; i < N; ++i)
    if (UpperAscii(texts[i]) == wanted) return static_cast<E>(i);
  return fallback;
}

}  // namespace

std::string FormatBaudRate(TBaudRate value) { return FormatOf(kBaudRateTexts, value); }
TBaudRate ParseBaudRate(const std::string& text) { return ParseOf(kBaudRateTexts, text, br9600); }
std::string FormatDataBits(TDataBits value) { return FormatOf(kDataBitsTexts, value); }
TDataBits ParseDataBits(const std::string& text) { return ParseOf(kDataBitsTexts, text, dbEight); }
std::string FormatStopBits(TStopBits value) { return FormatOf(kStopBitsTexts, value); }
TStopBits ParseStopBits(const std::string& text) {
  return ParseOf(kStopBitsTexts, text, sbOneStopBit);
}
std::string FormatParity(TParityBits value) { return FormatOf(kParityTexts, value); }
TParityBits ParseParity(const std::string& text) { return ParseOf(kParityTexts, text, prNone); }
std::string FormatFlowControl(TFlowControl value) { return FormatOf(kFlowControlTexts, value); }
TFlowControl ParseFlowControl(const std::string& text) {
  return ParseOf(kFlowControlTexts, text, fcCustom);
}

// The serial device map lists each port as the data of one value; names and
// types of the values are not used. Any registry result other than success
// and "no more items" (259) ends the listing with ecRegistryError and that
// result; the caller's list is replaced only after a complete listing.
void ListPortNames(vcl::TStrings* list) {
  HKEY key = nullptr;
  const LSTATUS opened =
      RegOpenKeyExA(HKEY_LOCAL_MACHINE, "HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ, &key);
  if (opened != static_cast<LSTATUS>(ERROR_SUCCESS)) throw EComPort(ecRegistryError, opened);

  struct KeyCloser {
    HKEY key;
    ~KeyCloser() { RegCloseKey(key); }
  } closer{key};

  vcl::TStringList names;
  for (DWORD index = 0;; ++index) {
    char valueName[256];
    BYTE data[256];
    DWORD nameChars = sizeof valueName;
    DWORD dataBytes = sizeof data;
    DWORD type = 0;
    const LSTATUS result =
        RegEnumValueA(key, index, valueName, &nameChars, nullptr, &type, data, &dataBytes);
    if (result == static_cast<LSTATUS>(ERROR_NO_MORE_ITEMS)) break;
    if (result != static_cast<LSTATUS>(ERROR_SUCCESS)) throw EComPort(ecRegistryError, result);
    std::size_t length = 0;
    const std::size_t limit = dataBytes < sizeof data ? dataBytes : sizeof data;
    while (length < limit && data[length] != 0) ++length;
    names.Add(std::string(reinterpret_cast<const char*>(data), length));
  }
  names.Sort();

  list->BeginUpdate();
  try {
    list->Clear();
    for (int i = 0; i < names.Count(); ++i) list->Add(names.Strings(i));
  } catch (...) {
    list->EndUpdate();
    throw;
  }
  list->EndUpdate();
}
