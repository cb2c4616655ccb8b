// Serial ports known to sysfs. Internal; separate so tests can run it on a
// tree of their own.
#pragma once

#include <string>
#include <vector>

namespace win32 {

// Kernel names (ttyS0, ttyUSB0, ...) of the ttys under `sysClassTty` that
// are backed by a device and have a node under `dev`, leaving out ttyS
// entries whose `type` is 0 (no UART behind them).
std::vector<std::string> SysfsSerialPorts(const std::string& sysClassTty, const std::string& dev);

}  // namespace win32
