// Which device files may be opened as a serial port. Opening a device can
// have side effects (a watchdog starts counting, a tape rewinds), so the
// decision is made from stat() and sysfs alone, before any open().
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <sstream>
#include <string>

#include "Devices.h"
#include "Errors.h"

namespace win32 {
namespace {

// Device numbers of the Linux terminals that are never a serial line.
constexpr unsigned kTtyAuxMajor = 5;       // 5:0 /dev/tty, 5:1 console, 5:2 ptmx
constexpr unsigned kVirtualConsoleMajor = 4;  // 4:0..63 tty0..tty63; 4:64.. ttyS
constexpr unsigned kFirstSerialMinor = 64;
constexpr unsigned kPtySlaveFirstMajor = 136;  // UNIX98 pty slaves: 136..143
constexpr unsigned kPtySlaveLastMajor = 143;

// Majors of the common serial drivers, used only where sysfs is absent.
bool KnownSerialMajor(unsigned major) {
  return major == kVirtualConsoleMajor || major == 166 /* ttyACM */ ||
         major == 188 /* ttyUSB */ || major == 204 /* ttyAMA and kin */;
}

// True when sysfs files the character device under the tty class.
// `known` is false where sysfs cannot tell (not mounted).
bool InTtyClass(dev_t rdev, bool& known) {
  const std::string base = "/sys/dev/char";
  struct stat st {};
  known = ::stat(base.c_str(), &st) == 0;
  if (!known) return false;
  const std::string link = base + "/" + std::to_string(major(rdev)) + ":" +
                           std::to_string(minor(rdev)) + "/subsystem";
  char target[512];
  const ssize_t n = ::readlink(link.c_str(), target, sizeof target - 1);
  if (n <= 0) return false;
  const std::string_view path(target, static_cast<std::size_t>(n));
  return path.size() >= 4 && path.substr(path.size() - 4) == "/tty";
}

// The controlling terminal's device number from /proc/self/stat (field 7),
// or 0 when there is none.
dev_t ControllingTerminal() {
  std::ifstream file("/proc/self/stat");
  std::string line;
  if (!std::getline(file, line)) return 0;
  // The command name (field 2) may hold blanks: fields count from its ')'.
  const std::size_t close = line.rfind(')');
  if (close == std::string::npos) return 0;
  std::istringstream rest(line.substr(close + 1));
  std::string state;
  long long ppid = 0, pgrp = 0, session = 0, ttyNr = 0;
  if (!(rest >> state >> ppid >> pgrp >> session >> ttyNr)) return 0;
  return static_cast<dev_t>(ttyNr);
}

// The process's own terminal: the controlling terminal, or the terminal its
// standard input, output or error is on.
bool OwnTerminal(dev_t rdev) {
  if (dev_t own = ControllingTerminal(); own != 0 && own == rdev) return true;
  for (int fd = 0; fd <= 2; ++fd) {
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISCHR(st.st_mode) && st.st_rdev == rdev) return true;
  }
  return false;
}

}  // namespace

DWORD CheckPortDevice(const std::string& path, struct stat* found) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) {
    return errno == EACCES ? ERROR_ACCESS_DENIED : ERROR_FILE_NOT_FOUND;
  }
  if (!S_ISCHR(st.st_mode)) return ERROR_FILE_NOT_FOUND;  // a file, a FIFO, a folder
  const unsigned maj = major(st.st_rdev);
  const unsigned min = minor(st.st_rdev);
  if (maj == kTtyAuxMajor && min <= 2) return ERROR_FILE_NOT_FOUND;
  if (maj == kVirtualConsoleMajor && min < kFirstSerialMinor) return ERROR_FILE_NOT_FOUND;
  const bool ptySlave = maj >= kPtySlaveFirstMajor && maj <= kPtySlaveLastMajor;
  if (!ptySlave) {
    bool known = false;
    const bool tty = InTtyClass(st.st_rdev, known);
    if (known ? !tty : !KnownSerialMajor(maj)) return ERROR_FILE_NOT_FOUND;
  }
  if (OwnTerminal(st.st_rdev)) return ERROR_FILE_NOT_FOUND;
  if (found != nullptr) *found = st;
  return ERROR_SUCCESS;
}

}  // namespace win32
