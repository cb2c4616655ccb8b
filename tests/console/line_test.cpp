// The command line and the log: what goes out on the line and what comes
// back into the log.
#include <chrono>

#include "ConsoleTestSupport.h"

namespace console_test {
namespace {

using CommandLine = ConsoleWindow;
using Log = ConsoleWindow;

std::vector<int> Bytes(const std::string& s) {
  std::vector<int> out;
  for (unsigned char c : s) out.push_back(c);
  return out;
}

TEST_F(CommandLine, EnterInTheCommandLineSendsItWithCrLf) {
  OpenPort();
  vcl::testing::TypeText(form_->Edit_Data, "AT");
  vcl::testing::PressKey(form_->Edit_Data, vcl::testing::Key::Return);
  EXPECT_EQ(Bytes(device_->TakeWritten()), (std::vector<int>{65, 84, 13, 10}));
  // The line stays for the next press, and is not echoed into the log.
  EXPECT_EQ(form_->Edit_Data->Text(), "AT");
  EXPECT_EQ(form_->Memo->Text(), "");
  vcl::testing::PressKey(form_->Edit_Data, vcl::testing::Key::Return);
  EXPECT_EQ(Bytes(device_->TakeWritten()), (std::vector<int>{65, 84, 13, 10}));
  EXPECT_TRUE(ErrorBoxes().empty());
}

TEST_F(CommandLine, WithTheBoxClearTheLineGoesAsTyped) {
  OpenPort();
  Click(form_->NewLine_CB);
  ASSERT_FALSE(form_->NewLine_CB->Checked());
  vcl::testing::TypeText(form_->Edit_Data, "AT");
  Click(form_->Button_Send);
  EXPECT_EQ(Bytes(device_->TakeWritten()), (std::vector<int>{65, 84}));
}

TEST_F(CommandLine, EmptyLineSendsCrLfOrNothing) {
  OpenPort();
  Click(form_->Button_Send);
  EXPECT_EQ(Bytes(device_->TakeWritten()), (std::vector<int>{13, 10}));

  Click(form_->NewLine_CB);
  const std::size_t writes = device_->Calls().size();
  Click(form_->Button_Send);
  EXPECT_EQ(device_->TakeWritten(), "");
  int writeCalls = 0;
  const auto calls = device_->Calls();
  for (std::size_t i = writes; i < calls.size(); ++i) writeCalls += calls[i].function == "WriteFile";
  EXPECT_EQ(writeCalls, 0);

  // Nothing is reported even on a closed port.
  Click(form_->Button_Open);
  ASSERT_FALSE(form_->ComPort->Connected());
  Click(form_->Button_Send);
  EXPECT_TRUE(ErrorBoxes().empty());
}

TEST_F(CommandLine, TypedTextGoesOutInWindows1251) {
  OpenPort();
  Click(form_->NewLine_CB);
  // Cyrillic letters have their byte; a character the page lacks is '?'.
  vcl::testing::TypeText(form_->Edit_Data, "ATD Ёж№ 中");
  Click(form_->Button_Send);
  EXPECT_EQ(Bytes(device_->TakeWritten()),
            (std::vector<int>{65, 84, 68, 32, 0xA8, 0xE6, 0xB9, 32, '?'}));
}

TEST_F(CommandLine, SendingOnAClosedPortShowsTheWriteError) {
  vcl::testing::TypeText(form_->Edit_Data, "AT");
  Click(form_->Button_Send);
  const auto boxes = ErrorBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text.substr(0, 25), "WriteFile function failed");
  EXPECT_EQ(boxes[0].caption, console::kApplicationTitle);
}

TEST_F(Log, ReceivedBytesAreAppendedUnchangedWithoutNul) {
  OpenPort();
  device_->Feed("AT\r\r\nOK\r\n");
  ASSERT_TRUE(vcl::testing::WaitUntil([&] { return form_->Memo->TextLength() >= 9; }));
  EXPECT_EQ(form_->Memo->Text(), "AT\r\r\nOK\r\n");

  // NUL bytes are discarded by the port; the rest follows as it came.
  device_->Feed(std::string("+CSQ: 1") + '\0' + "5,0\r\n\nOK\r");
  const std::string expected = "AT\r\r\nOK\r\n+CSQ: 15,0\r\n\nOK\r";
  ASSERT_TRUE(vcl::testing::WaitUntil([&] { return form_->Memo->Text().size() >= expected.size(); }));
  EXPECT_EQ(form_->Memo->Text(), expected);
  EXPECT_EQ(form_->Memo->Text().find('\0'), std::string::npos);
  EXPECT_TRUE(ErrorBoxes().empty());
}

TEST_F(Log, ReceivedBytesAreShownInWindows1251) {
  OpenPort();
  device_->Feed("\xCF\xF0\xE8\xE2\xE5\xF2 \xB9\x31\r\n");
  const std::string expected = "Привет №1\r\n";
  ASSERT_TRUE(vcl::testing::WaitUntil([&] { return form_->Memo->Text().size() >= expected.size(); }));
  EXPECT_EQ(form_->Memo->Text(), expected);
}

TEST_F(Log, TheViewStaysWhereTheUserLeftIt) {
  OpenPort();
  // Batches smaller than the driver's input queue, as a modem's answers come.
  std::string many;
  for (int batch = 0; batch < 5; ++batch) {
    std::string lines;
    for (int i = 0; i < 60; ++i) lines += "+CREG: 0," + std::to_string(batch * 60 + i) + "\r\n";
    many += lines;
    device_->Feed(lines);
    ASSERT_TRUE(vcl::testing::WaitUntil([&] { return form_->Memo->TextLength() >= many.size(); }));
  }
  // Nothing scrolled to the end on its own.
  EXPECT_EQ(vcl::testing::VerticalScroll(form_->Memo), 0);
  ASSERT_GT(vcl::testing::VerticalScrollMaximum(form_->Memo), 100);

  vcl::testing::SetVerticalScroll(form_->Memo, 100);
  const int caret = vcl::testing::CaretPosition(form_->Memo);
  device_->Feed("RING\r\n");
  ASSERT_TRUE(vcl::testing::WaitUntil([&] { return form_->Memo->TextLength() >= many.size() + 6; }));
  EXPECT_EQ(vcl::testing::VerticalScroll(form_->Memo), 100);
  EXPECT_EQ(vcl::testing::CaretPosition(form_->Memo), caret);
}

}  // namespace
}  // namespace console_test
