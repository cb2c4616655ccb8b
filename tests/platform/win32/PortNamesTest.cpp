// Port names, the port map and the serial device map in the registry.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <map>

#include "Devices.h"
#include "PortNames.h"
#include "RegistryFaults.h"
#include "Support.h"

using namespace w32test;

namespace {

// A private port map folder for the test, through TALVEN_PORT_MAP.
class PortMap {
 public:
  PortMap() {
    char tmpl[] = "/tmp/win32-portmap-XXXXXX";
    folder_ = mkdtemp(tmpl);
    setenv("TALVEN_PORT_MAP", folder_.c_str(), 1);
  }
  ~PortMap() {
    unsetenv("TALVEN_PORT_MAP");
    for (auto& link : links_) unlink(link.c_str());
    rmdir(folder_.c_str());
  }
  void Alias(const std::string& name, const std::string& target) {
    links_.push_back(folder_ + "/" + name);
    ASSERT_EQ(symlink(target.c_str(), links_.back().c_str()), 0);
  }
  const std::string& Folder() const { return folder_; }

 private:
  std::string folder_;
  std::vector<std::string> links_;
};

TEST(PortNames, ResolveInTheDocumentedOrder) {
  PortMap map;
  map.Alias("COM42", "/dev/null");
  auto device = win32::VirtualDevice::Register("VCOM7");
  struct Case {
    const char* name;
    bool found;
    bool isVirtual;
    std::string path;
  };
  const Case cases[] = {
      {"\\\\.\\vcom7", true, true, ""},
      {"VCOM7", true, true, ""},
      {"\\\\.\\com42", true, false, map.Folder() + "/COM42"},
      {"\\\\.\\COM1", true, false, "/dev/ttyS0"},
      {"com12", true, false, "/dev/ttyS11"},
      {"COM0", true, false, "/dev/COM0"},
      {"ttyUSB0", true, false, "/dev/ttyUSB0"},
      {"pts/3", false, false, ""},
      {"tty", false, false, ""},
      {"stdin", false, false, ""},
      {"..", false, false, ""},
      {"\\\\.\\/dev/pts/4", true, false, "/dev/pts/4"},
      {"../etc/passwd", false, false, ""},
      {"\\\\.\\", false, false, ""},
      {"a\\b", false, false, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    win32::PortTarget target;
    ASSERT_EQ(win32::ResolvePortName(c.name, target), c.found);
    if (!c.found) continue;
    EXPECT_EQ(target.device != nullptr, c.isVirtual);
    EXPECT_EQ(target.path, c.path);
  }
  win32::VirtualDevice::Unregister("VCOM7");
  win32::PortTarget target;
  ASSERT_TRUE(win32::ResolvePortName("VCOM7", target));
  EXPECT_EQ(target.device, nullptr) << "unregistered: falls through to /dev";
}

// The port map follows the XDG base-directory conventions; tests and users
// can point it elsewhere with TALVEN_PORT_MAP.
TEST(PortNames, PortMapFolderFollowsTheEnvironment) {
  struct Case {
    const char* name;
    const char* override;
    const char* config;
    std::string expected;
  };
  const std::string home = getenv("HOME") ? getenv("HOME") : "";
  const Case cases[] = {
      {"Override", "/tmp/ports", "/cfg", "/tmp/ports"},
      {"XdgConfigHome", nullptr, "/cfg", "/cfg/talven-console/ports"},
      {"RelativeXdgIsIgnored", nullptr, "cfg", home + "/.config/talven-console/ports"},
      {"Default", nullptr, nullptr, home + "/.config/talven-console/ports"},
  };
  auto put = [](const char* variable, const char* value) {
    if (value != nullptr) {
      setenv(variable, value, 1);
    } else {
      unsetenv(variable);
    }
  };
  const char* savedConfig = getenv("XDG_CONFIG_HOME");
  const std::string saved = savedConfig ? savedConfig : "";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    put("TALVEN_PORT_MAP", c.override);
    put("XDG_CONFIG_HOME", c.config);
    EXPECT_EQ(win32::PortMapFolder(), c.expected);
  }
  put("TALVEN_PORT_MAP", nullptr);
  put("XDG_CONFIG_HOME", savedConfig ? saved.c_str() : nullptr);
}

TEST(PortNames, AliasOpensTheDeviceItPointsTo) {
  Pty pty;
  ASSERT_TRUE(pty.Ok());
  PortMap map;
  map.Alias("COM77", pty.Slave());
  HANDLE h = OpenPort("com77");
  ASSERT_NE(h, INVALID_HANDLE_VALUE) << GetLastError();
  EXPECT_EQ(WriteAll(h, "via alias"), 9u);
  EXPECT_EQ(pty.Receive(9, std::chrono::milliseconds(kLongWait)), "via alias");
  SetLastError(kSentinel);
  EXPECT_EQ(OpenPort(pty.Slave()), INVALID_HANDLE_VALUE) << "same device under its own name";
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  CloseHandle(h);
}

TEST(PortNames, SysfsListsOnlyTtysWithHardware) {
  char tmpl[] = "/tmp/win32-sysfs-XXXXXX";
  const std::string root = mkdtemp(tmpl);
  const std::string sys = root + "/class", dev = root + "/dev";
  mkdir(sys.c_str(), 0755);
  mkdir(dev.c_str(), 0755);
  // name -> (has device link, type file contents or "" for none, has node)
  struct Entry {
    bool device;
    const char* type;
    bool node;
  };
  const std::map<std::string, Entry> entries = {
      {"ttyS0", {true, "4", true}},   {"ttyS1", {true, "0", true}},
      {"ttyUSB0", {true, "", true}},  {"tty1", {false, "", true}},
      {"ttyACM0", {true, "", false}},
  };
  for (const auto& [name, e] : entries) {
    const std::string base = sys + "/" + name;
    mkdir(base.c_str(), 0755);
    if (e.device) mkdir((base + "/device").c_str(), 0755);
    if (*e.type) std::ofstream(base + "/type") << e.type << "\n";
    if (e.node) std::ofstream(dev + "/" + name) << "";
  }
  auto ports = win32::SysfsSerialPorts(sys, dev);
  std::sort(ports.begin(), ports.end());
  EXPECT_EQ(ports, (std::vector<std::string>{"ttyS0", "ttyUSB0"}));
  std::string cleanup = "rm -rf " + root;
  ASSERT_EQ(system(cleanup.c_str()), 0);
}

class Registry : public ::testing::Test {
 protected:
  void SetUp() override {
    device_ = win32::VirtualDevice::Register("VREG1");
    pty_ = std::make_unique<Pty>();
    ASSERT_TRUE(pty_->Ok());
    map_.Alias("COM88", pty_->Slave());
    map_.Alias("COM89", "/dev/win32-test-gone");  // dangling: not listed
  }
  void TearDown() override {
    win32::VirtualDevice::Unregister("VREG1");
    win32::ClearRegistryFaults();
  }
  // name -> data, read the way the settings selector reads it.
  std::map<std::string, std::string> ReadAll(LSTATUS& end) {
    std::map<std::string, std::string> values;
    HKEY key = nullptr;
    end = RegOpenKeyExA(HKEY_LOCAL_MACHINE, "HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ, &key);
    if (end != ERROR_SUCCESS) return values;
    for (DWORD i = 0;; ++i) {
      char name[256];
      BYTE data[256];
      DWORD nameChars = 256, dataBytes = 256, type = 0;
      end = RegEnumValueA(key, i, name, &nameChars, nullptr, &type, data, &dataBytes);
      if (end != ERROR_SUCCESS) break;
      EXPECT_EQ(type, REG_SZ);
      EXPECT_EQ(nameChars, std::strlen(name));
      EXPECT_EQ(data[dataBytes - 1], 0) << "data ends with its zero";
      values[name] = reinterpret_cast<char*>(data);
    }
    EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
    return values;
  }

  std::shared_ptr<win32::VirtualDevice> device_;
  std::unique_ptr<Pty> pty_;
  PortMap map_;
};

TEST_F(Registry, SerialMapListsVirtualDevicesAndPresentAliases) {
  LSTATUS end = 0;
  auto values = ReadAll(end);
  EXPECT_EQ(end, static_cast<LSTATUS>(ERROR_NO_MORE_ITEMS));
  EXPECT_EQ(values["\\Device\\VirtualVREG1"], "VREG1");
  EXPECT_EQ(values["\\Device\\AliasCOM88"], "COM88");
  EXPECT_EQ(values.count("\\Device\\AliasCOM89"), 0u);
  for (const auto& [name, port] : values) {
    SCOPED_TRACE(name);
    win32::PortTarget target;
    EXPECT_TRUE(win32::ResolvePortName("\\\\.\\" + port, target)) << "every listed name opens";
  }
}

TEST_F(Registry, BuffersFollowWin32Rules) {
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "hardware\\devicemap\\serialcomm", 0, KEY_READ, &key),
            ERROR_SUCCESS);
  char name[256];
  BYTE data[256];
  DWORD nameChars = 3, dataBytes = 256;
  EXPECT_EQ(RegEnumValueA(key, 0, name, &nameChars, nullptr, nullptr, data, &dataBytes),
            static_cast<LSTATUS>(ERROR_MORE_DATA));
  nameChars = 256;
  dataBytes = 1;
  EXPECT_EQ(RegEnumValueA(key, 0, name, &nameChars, nullptr, nullptr, data, &dataBytes),
            static_cast<LSTATUS>(ERROR_MORE_DATA));
  EXPECT_GT(dataBytes, 1u) << "the size needed";
  nameChars = 256;
  EXPECT_EQ(RegEnumValueA(key, 0, name, &nameChars, nullptr, nullptr, data, &dataBytes),
            ERROR_SUCCESS);
  nameChars = 256;
  dataBytes = 256;
  EXPECT_EQ(RegEnumValueA(key, 100000, name, &nameChars, nullptr, nullptr, data, &dataBytes),
            static_cast<LSTATUS>(ERROR_NO_MORE_ITEMS));
  EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
  EXPECT_EQ(RegCloseKey(key), static_cast<LSTATUS>(ERROR_INVALID_HANDLE));
  EXPECT_EQ(RegEnumValueA(key, 0, name, &nameChars, nullptr, nullptr, data, &dataBytes),
            static_cast<LSTATUS>(ERROR_INVALID_HANDLE));
}

TEST_F(Registry, OtherKeysDoNotExist) {
  HKEY key = nullptr;
  EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Other", 0, KEY_READ, &key),
            static_cast<LSTATUS>(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "HARDWARE\\DEVICEMAP", 0, KEY_READ, &key),
            static_cast<LSTATUS>(ERROR_FILE_NOT_FOUND));
}

TEST_F(Registry, InjectedFaultsLastUntilCleared) {
  win32::FailRegistryOpen(ERROR_ACCESS_DENIED);
  LSTATUS end = 0;
  EXPECT_TRUE(ReadAll(end).empty());
  EXPECT_EQ(end, static_cast<LSTATUS>(ERROR_ACCESS_DENIED));
  ReadAll(end);
  EXPECT_EQ(end, static_cast<LSTATUS>(ERROR_ACCESS_DENIED));
  win32::ClearRegistryFaults();
  win32::FailRegistryEnumAt(1, ERROR_GEN_FAILURE);
  auto values = ReadAll(end);
  EXPECT_EQ(end, static_cast<LSTATUS>(ERROR_GEN_FAILURE));
  EXPECT_EQ(values.size(), 1u);
  win32::ClearRegistryFaults();
  ReadAll(end);
  EXPECT_EQ(end, static_cast<LSTATUS>(ERROR_NO_MORE_ITEMS));
}

}  // namespace
