#include "Modem.h"

#include <cctype>

namespace {

std::string Result(const std::string& text) { return "\r\n" + text + "\r\n"; }

std::string Upper(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

}  // namespace

std::string Modem::Receive(const std::string& bytes) {
  std::string out;
  for (char c : bytes) {
    if (echo_) out += c;
    if (c == '\r') {
      out += Execute(line_);
      line_.clear();
    } else if (c == '\b' || c == 0x7F) {
      if (!line_.empty()) line_.pop_back();
    } else if (c != '\n') {
      line_ += c;
    }
  }
  return out;
}

// Commands: AT, ATZ, ATE0/ATE1, ATI, AT+CSQ; anything else starting with AT
// is an ERROR; an empty line (or one without AT) gets no answer.
std::string Modem::Execute(const std::string& raw) {
  const std::string line = Upper(raw);
  if (line.empty()) return {};
  if (line.rfind("AT", 0) != 0) return {};
  const std::string command = line.substr(2);
  if (command.empty() || command == "Z") return Result("OK");
  if (command == "E0" || command == "E1") {
    echo_ = command == "E1";
    return Result("OK");
  }
  if (command == "I") return Result("TALVEN KORIM 300 GSM terminal, rev 1.0") + Result("OK");
  if (command == "+CSQ") return Result("+CSQ: 21,0") + Result("OK");
  return Result("ERROR");
}
