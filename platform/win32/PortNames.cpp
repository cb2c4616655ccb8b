// Port names: how CreateFileA finds a device, and the serial device map the
// registry calls list.
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cstdlib>
#include <fstream>
#include <set>

#include "Devices.h"
#include "PortNames.h"

namespace win32 {
namespace {

std::string Upper(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return out;
}

// COMn (n >= 1, case-insensitive): returns n, or 0.
unsigned ComNumber(std::string_view name) {
  if (name.size() < 4 || !EqualsNoCase(name.substr(0, 3), "COM")) return 0;
  unsigned n = 0;
  for (char c : name.substr(3)) {
    if (!std::isdigit(static_cast<unsigned char>(c)) || n > 100000) return 0;
    n = n * 10 + static_cast<unsigned>(c - '0');
  }
  return n;
}

std::vector<std::string> DirectoryNames(const std::string& folder) {
  std::vector<std::string> names;
  DIR* dir = ::opendir(folder.c_str());
  if (dir == nullptr) return names;
  while (dirent* entry = ::readdir(dir)) {
    std::string name = entry->d_name;
    if (name != "." && name != "..") names.push_back(std::move(name));
  }
  ::closedir(dir);
  return names;
}

// Names under /dev that lead to the process's own terminal or streams.
bool OwnTerminalName(std::string_view name) {
  for (std::string_view own : {"tty", "console", "ptmx", "stdin", "stdout", "stderr", "fd"})
    if (name == own) return true;
  return false;
}

// The alias entry of the port map named `name` (case-insensitive).
std::string FindAlias(std::string_view name) {
  const std::string folder = PortMapFolder();
  for (const std::string& entry : DirectoryNames(folder))
    if (EqualsNoCase(entry, name)) return folder + "/" + entry;
  return {};
}

}  // namespace

bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (std::toupper(static_cast<unsigned char>(a[i])) != std::toupper(static_cast<unsigned char>(b[i])))
      return false;
  return true;
}

std::string PortMapFolder() {
  if (const char* folder = std::getenv("TALVEN_PORT_MAP"); folder && *folder) return folder;
  if (const char* config = std::getenv("XDG_CONFIG_HOME"); config && *config == '/')
    return std::string(config) + "/talven-console/ports";
  const char* home = std::getenv("HOME");
  return std::string(home ? home : "") + "/.config/talven-console/ports";
}

bool ResolvePortName(std::string_view name, PortTarget& target) {
  target = {};
  if (name.substr(0, 4) == "\\\\.\\") name.remove_prefix(4);
  if (name.empty()) return false;
  if (name.find('/') == std::string_view::npos && name.find('\\') == std::string_view::npos) {
    if (auto device = FindVirtualDevice(name)) {
      target.device = std::move(device);
      return true;
    }
    if (std::string alias = FindAlias(name); !alias.empty()) {
      target.path = std::move(alias);  // open() follows the link
      return true;
    }
    if (unsigned n = ComNumber(name)) {
      target.path = "/dev/ttyS" + std::to_string(n - 1);
      return true;
    }
    if (name == "." || name == ".." || OwnTerminalName(name)) return false;
    target.path = "/dev/" + std::string(name);
    return true;
  }
  if (name.find('\\') != std::string_view::npos) return false;
  if (name.front() == '/') {
    target.path = std::string(name);
    return true;
  }
  return false;  // a relative name with '/' would leave /dev or reach into it
}

std::vector<std::string> SysfsSerialPorts(const std::string& sysClassTty, const std::string& dev) {
  std::vector<std::string> ports;
  for (const std::string& name : DirectoryNames(sysClassTty)) {
    const std::string base = sysClassTty + "/" + name;
    struct stat st {};
    // Only ttys backed by a device: no virtual consoles, no pseudo-terminals.
    if (::lstat((base + "/device").c_str(), &st) != 0) continue;
    if (name.rfind("ttyS", 0) == 0) {
      // An 8250 slot without a UART has type 0 (PORT_UNKNOWN).
      std::ifstream typeFile(base + "/type");
      int type = 0;
      if (!(typeFile >> type) || type == 0) continue;
    }
    if (::stat((dev + "/" + name).c_str(), &st) != 0) continue;
    ports.push_back(name);
  }
  return ports;
}

std::vector<SerialMapEntry> ListSerialMap() {
  std::vector<SerialMapEntry> entries;
  std::set<std::string> taken;  // upper-case port names
  std::set<dev_t> devices;      // device numbers already listed
  for (const std::string& name : VirtualDeviceNames()) {
    if (!taken.insert(Upper(name)).second) continue;
    entries.push_back({"\\Device\\Virtual" + name, name});
  }
  const std::string folder = PortMapFolder();
  for (const std::string& name : DirectoryNames(folder)) {
    struct stat st {};
    if (name.find('\\') != std::string::npos ||
        CheckPortDevice(folder + "/" + name, &st) != ERROR_SUCCESS)
      continue;  // an alias whose device is not there, or is no terminal
    if (!taken.insert(Upper(name)).second) continue;
    devices.insert(st.st_rdev);
    entries.push_back({"\\Device\\Alias" + name, name});
  }
  for (const std::string& kernel : SysfsSerialPorts("/sys/class/tty", "/dev")) {
    struct stat st {};
    if (CheckPortDevice("/dev/" + kernel, &st) != ERROR_SUCCESS || devices.count(st.st_rdev))
      continue;
    std::string port = kernel;
    // ttyS<n> is listed as COM<n+1> where nothing else has that name.
    if (kernel.rfind("ttyS", 0) == 0 && kernel.size() > 4 &&
        std::isdigit(static_cast<unsigned char>(kernel[4]))) {
      std::string com = "COM" + std::to_string(std::stoul(kernel.substr(4)) + 1);
      if (!taken.count(Upper(com))) port = com;
    }
    if (!taken.insert(Upper(port)).second) continue;
    entries.push_back({"\\Device\\" + kernel, port});
  }
  return entries;
}

}  // namespace win32
