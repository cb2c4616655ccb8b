// The command interpreter of the emulated TALVEN KORIM 300: bytes from the
// line in, bytes for the line out, as a modem in verbose mode answers.
#pragma once

#include <string>

class Modem {
 public:
  // Takes received bytes; returns what the modem sends back: the echo of
  // each character (while echo is on) and a result for each completed line.
  std::string Receive(const std::string& bytes);

 private:
  std::string Execute(const std::string& line);

  std::string line_;
  bool echo_ = true;
};
