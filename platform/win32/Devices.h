// Opening serial devices: the tty device, the virtual device and the port
// names that lead to them. Internal to the win32 library.
#pragma once

#include <sys/stat.h>

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "CommDevice.h"

namespace win32 {

class VirtualDeviceImpl;

// Opens a terminal device. On failure returns nullptr and sets `error`:
// ERROR_FILE_NOT_FOUND (no such device, or not a terminal),
// ERROR_ACCESS_DENIED (held by another open, or no permission), or the
// mapped errno of the failing step.
std::shared_ptr<CommDevice> OpenTty(const std::string& path, bool overlapped, DWORD& error);

// Whether `path` may be opened as a port, decided without opening it: a
// character device of the tty class or a pseudo-terminal slave, and not
// the process's own terminal (/dev/tty, the console, ptmx, a virtual
// console, the terminal of standard input, output or error). Returns
// ERROR_SUCCESS and fills `found` (if given), ERROR_FILE_NOT_FOUND for a
// path that is missing or not such a device, or ERROR_ACCESS_DENIED when
// the path cannot be looked at.
DWORD CheckPortDevice(const std::string& path, struct stat* found = nullptr);

// Opens a registered virtual device: ERROR_ACCESS_DENIED when it is open
// already, ERROR_FILE_NOT_FOUND after Unplug, or an injected fault.
std::shared_ptr<CommDevice> OpenVirtual(const std::shared_ptr<VirtualDeviceImpl>& device,
                                        const std::string& path, DWORD access, DWORD share,
                                        bool overlapped, DWORD& error);

// The virtual device registered under `name` (case-insensitive), if any.
std::shared_ptr<VirtualDeviceImpl> FindVirtualDevice(std::string_view name);
// Names of the registered devices that are not unplugged.
std::vector<std::string> VirtualDeviceNames();

// Where a port name leads.
struct PortTarget {
  std::shared_ptr<VirtualDeviceImpl> device;  // a virtual device, or
  std::string path;                           // a device path
};

// Resolves a name as CreateFileA gets it ("\\.\COM5", "COM5", "ttyUSB0",
// "/dev/pts/3"), in this order: a registered virtual device; an alias in the
// user's port map; COMn as /dev/ttyS(n-1); a kernel name under /dev; an
// absolute path. Names are case-insensitive except paths. A name that is
// not a path never leaves /dev: one with '/' or "..", and the names of the
// process's own terminal (tty, console, ptmx, stdin, stdout, stderr, fd),
// are refused. Returns false when no rule applies.
bool ResolvePortName(std::string_view fileName, PortTarget& target);

// The port map folder: $TALVEN_PORT_MAP, else
// $XDG_CONFIG_HOME/talven-console/ports, else ~/.config/talven-console/ports.
std::string PortMapFolder();

// One value of HARDWARE\DEVICEMAP\SERIALCOMM.
struct SerialMapEntry {
  std::string valueName;  // "\Device\VirtualCOM5", "\Device\ttyUSB0", ...
  std::string portName;   // a name CreateFileA accepts
};
// The virtual devices, the port map's aliases whose target exists and the
// machine's serial ports from sysfs, each port once.
std::vector<SerialMapEntry> ListSerialMap();

bool EqualsNoCase(std::string_view a, std::string_view b);

}  // namespace win32
