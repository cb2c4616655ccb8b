// The emulated modem's answers, as the console sees them on the line.
#include <gtest/gtest.h>

#include "Modem.h"

namespace {

struct Exchange {
  const char* sent;
  const char* answered;
};

TEST(VirtualModem, AnswersCommandLinesLikeTheTerminal) {
  const Exchange cases[] = {
      {"AT\r", "AT\r\r\nOK\r\n"},
      {"at\r", "at\r\r\nOK\r\n"},
      {"ATZ\r", "ATZ\r\r\nOK\r\n"},
      {"AT+CSQ\r", "AT+CSQ\r\r\n+CSQ: 21,0\r\n\r\nOK\r\n"},
      {"ATI\r", "ATI\r\r\nTALVEN KORIM 300 GSM terminal, rev 1.0\r\n\r\nOK\r\n"},
      {"AT+FOO\r", "AT+FOO\r\r\nERROR\r\n"},
      {"hello\r", "hello\r"},             // not a command: echoed, unanswered
      {"AT\r\n", "AT\r\r\nOK\r\n\n"},     // the LF after CR is echoed and ignored
      {"ATX\bZ\r", "ATX\bZ\r\r\nOK\r\n"},  // backspace edits the line
  };
  for (const Exchange& c : cases) {
    SCOPED_TRACE(c.sent);
    Modem modem;
    EXPECT_EQ(modem.Receive(c.sent), c.answered);
  }
}

TEST(VirtualModem, EchoOffStopsTheEchoButNotTheAnswers) {
  Modem modem;
  EXPECT_EQ(modem.Receive("ATE0\r"), "ATE0\r\r\nOK\r\n");
  EXPECT_EQ(modem.Receive("AT\r"), "\r\nOK\r\n");
  EXPECT_EQ(modem.Receive("ATE1\r"), "\r\nOK\r\n");
  EXPECT_EQ(modem.Receive("AT\r"), "AT\r\r\nOK\r\n");
}

TEST(VirtualModem, ALineSplitAcrossWritesIsOneCommand) {
  Modem modem;
  EXPECT_EQ(modem.Receive("AT+C"), "AT+C");
  EXPECT_EQ(modem.Receive("SQ\r"), "SQ\r\r\n+CSQ: 21,0\r\n\r\nOK\r\n");
}

}  // namespace
