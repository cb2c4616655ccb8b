// The port's vocabulary: event masks, error codes and messages, the text
// forms of the settings and the list of port names.
#include <gtest/gtest.h>

#include "CPort.h"
#include "EngineTestSupport.h"

namespace {

TEST(EventMask, EachEventHasItsDriverBit) {
  const std::pair<TComEvent, DWORD> table[] = {
      {evRxChar, 0x0001}, {evTxEmpty, 0x0004}, {evRxFlag, 0x0002}, {evRing, 0x0100},
      {evBreak, 0x0040},  {evCTS, 0x0008},     {evDSR, 0x0010},    {evError, 0x0080},
      {evRLSD, 0x0020},   {evRx80Full, 0x0400}};
  for (auto [event, bit] : table) {
    EXPECT_EQ(EventsToMask(TComEvents{event}), bit) << int(event);
    EXPECT_EQ(MaskToEvents(bit), TComEvents{event}) << int(event);
  }
  EXPECT_EQ(EventsToMask(AllComEvents), 0x05FFu);
  EXPECT_EQ(EventsToMask(TComEvents{}), 0u);
}

TEST(EventMask, UnknownBitsAreDroppedAndEverySetRoundTrips) {
  EXPECT_EQ(MaskToEvents(0x0201), TComEvents{evRxChar});
  EXPECT_EQ(MaskToEvents(0xFFFFFFFFu), AllComEvents);
  for (unsigned bits = 0; bits < (1u << 10); ++bits) {
    const auto set = TComEvents::FromBits(static_cast<std::uint16_t>(bits));
    ASSERT_EQ(MaskToEvents(EventsToMask(set)), set) << bits;
  }
}

TEST(Vocabulary, EnumerationsAndSetsHaveTheirWidths) {
  static_assert(sizeof(TBaudRate) == 1 && sizeof(TSyncMethod) == 1 && sizeof(TComLinkEvent) == 1);
  static_assert(sizeof(TComEvents) == 2 && sizeof(TComErrors) == 1 && sizeof(TComLineSignals) == 1);
  EXPECT_EQ(int(br256000), 15);
  EXPECT_EQ(int(evRx80Full), 9);
  EXPECT_EQ(int(lnRxFlag), 8);
  EXPECT_EQ(int(lnRx), 5);
  EXPECT_EQ(int(lnTx), 6);
}

struct MessageCase {
  int code;
  const char* message;
};

TEST(EComPortTest, EveryCodeHasItsMessageAlone) {
  const MessageCase table[] = {
      {1, "Unable to open com port"},
      {2, "WriteFile function failed"},
      {3, "ReadFile function failed"},
      {4, "Invalid Async parameter"},
      {5, "PurgeComm function failed"},
      {6, "Unable to get async status"},
      {7, "SetCommState function failed"},
      {8, "SetCommTimeouts failed"},
      {9, "SetupComm function failed"},
      {10, "ClearCommError function failed"},
      {11, "GetCommModemStatus function failed"},
      {12, "EscapeCommFunction function failed"},
      {13, "TransmitCommChar function failed"},
      {14, "Cannot set property while connected"},
      {15, "EnumPorts function failed"},
      {16, "Failed to store settings"},
      {17, "Failed to load settings"},
      {18, "Link (un)registration failed"},
      {19, "Cannot change led state if ComPort is selected"},
      {20, "Cannot wait for event if event thread is created"},
      {21, "WaitForEvent method failed"},
      {22, "A component is linked to OnRxBuf event"},
      {23, "Registry error"},
  };
  for (const auto& c : table) {
    const EComPort e(c.code);
    EXPECT_EQ(e.Message, c.message) << c.code;
    EXPECT_STREQ(e.what(), c.message);
    EXPECT_EQ(e.EngineCode, c.code);
    EXPECT_EQ(e.SystemErrorCode, -1);
  }
}

TEST(EComPortTest, SystemCodeIsAppendedWithItsSign) {
  const EComPort open(ecOpenFailed, 2);
  EXPECT_EQ(open.Message, "Unable to open com port (win error code: 2)");
  EXPECT_EQ(open.SystemErrorCode, 2);
  EXPECT_EQ(open.EngineCode, 1);
  EXPECT_EQ(EComPort(ecSetStateFailed, 87).Message, "SetCommState function failed (win error code: 87)");
  EXPECT_EQ(EComPort(ecRegistryError, -5).Message, "Registry error (win error code: -5)");
  // Caught as the runtime's exception, as the application's display sees it.
  try {
    throw EComPort(ecChangeWhileOpen);
  } catch (const vcl::Exception& e) {
    EXPECT_EQ(e.Message, "Cannot set property while connected");
  }
}

TEST(TextForms, EveryValueFormatsAndParsesBack) {
  const char* rates[] = {"Custom", "110",   "300",   "600",    "1200",   "2400",  "4800",  "9600",
                         "14400",  "19200", "38400", "56000", "57600", "115200", "128000", "256000"};
  for (int i = 0; i < 16; ++i) {
    EXPECT_EQ(FormatBaudRate(TBaudRate(i)), rates[i]);
    EXPECT_EQ(ParseBaudRate(rates[i]), TBaudRate(i));
  }
  const char* data[] = {"5", "6", "7", "8"};
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(FormatDataBits(TDataBits(i)), data[i]);
    EXPECT_EQ(ParseDataBits(data[i]), TDataBits(i));
  }
  const char* stops[] = {"1", "1.5", "2"};
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(FormatStopBits(TStopBits(i)), stops[i]);
    EXPECT_EQ(ParseStopBits(stops[i]), TStopBits(i));
  }
  const char* parities[] = {"None", "Odd", "Even", "Mark", "Space"};
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(FormatParity(TParityBits(i)), parities[i]);
    EXPECT_EQ(ParseParity(parities[i]), TParityBits(i));
  }
  const char* flows[] = {"Hardware", "Software", "None", "Custom"};
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(FormatFlowControl(TFlowControl(i)), flows[i]);
    EXPECT_EQ(ParseFlowControl(flows[i]), TFlowControl(i));
  }
}

TEST(TextForms, ParsingIgnoresCaseAndFallsBack) {
  EXPECT_EQ(ParseBaudRate("custom"), brCustom);
  EXPECT_EQ(ParseBaudRate("CUSTOM"), brCustom);
  EXPECT_EQ(ParseBaudRate("fast"), br9600);
  EXPECT_EQ(ParseBaudRate(" 9600"), br9600);
  EXPECT_EQ(ParseBaudRate("115200 "), br9600);
  EXPECT_EQ(ParseFlowControl("none"), fcNone);
  EXPECT_EQ(ParseFlowControl("custom"), fcCustom);
  EXPECT_EQ(ParseFlowControl("xon"), fcCustom);
  EXPECT_EQ(ParseDataBits(""), dbEight);
  EXPECT_EQ(ParseStopBits("1,5"), sbOneStopBit);
  EXPECT_EQ(ParseParity("eVeN"), prEven);
  EXPECT_EQ(ParseParity(std::string("Odd\0", 4)), prNone);  // whole text, zero byte included
}

TEST(ListPortNamesTest, VirtualDevicesAreListedSortedCaseInsensitively) {
  const char* names[] = {"VLIST2", "vlist10", "VLIST1"};
  for (auto* n : names) win32::VirtualDevice::Register(n);
  vcl::TStringList list;
  list.Add("stale entry");
  ListPortNames(&list);
  std::vector<std::string> ours;
  for (int i = 0; i < list.Count(); ++i)
    if (vcl::AnsiCompareText(list.Strings(i).substr(0, 5), "VLIST") == 0) ours.push_back(list.Strings(i));
  EXPECT_EQ(ours, (std::vector<std::string>{"VLIST1", "vlist10", "VLIST2"}));
  EXPECT_LT(list.IndexOf("stale entry"), 0);
  for (auto* n : names) win32::VirtualDevice::Unregister(n);
}

// A port name longer than the 256-byte data buffer ends the listing with the
// registry's more-data code, and the caller's list stays as it was.
TEST(ListPortNamesTest, AnOversizedNameIsARegistryError) {
  const std::string longName = "VLONG" + std::string(300, 'X');
  win32::VirtualDevice::Register(longName);
  vcl::TStringList list;
  list.Add("kept");
  try {
    ListPortNames(&list);
    ADD_FAILURE() << "no exception";
  } catch (const EComPort& e) {
    EXPECT_EQ(e.EngineCode, ecRegistryError);
    EXPECT_EQ(e.SystemErrorCode, 234);
    EXPECT_EQ(e.Message, "Registry error (win error code: 234)");
  }
  win32::VirtualDevice::Unregister(longName);
  ASSERT_EQ(list.Count(), 1);
  EXPECT_EQ(list.Strings(0), "kept");
}

}  // namespace
