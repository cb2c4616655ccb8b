// The registry, read only: HKEY_LOCAL_MACHINE\HARDWARE\DEVICEMAP\SERIALCOMM
// as the serial device map (Devices.h). A key lists the map as it was when
// opened.
#include <map>
#include <memory>
#include <mutex>
#include <optional>

#include "Devices.h"
#include "RegistryFaults.h"

namespace win32 {
namespace {

struct Keys {
  std::mutex mutex;
  std::map<std::uintptr_t, std::vector<SerialMapEntry>> open;
  std::uintptr_t next = 0x2000;
  std::optional<LSTATUS> openFault;
  std::map<DWORD, LSTATUS> enumFaults;
};

Keys& State() {
  static auto* keys = new Keys;
  return *keys;
}

constexpr const char* kSerialComm = "HARDWARE\\DEVICEMAP\\SERIALCOMM";

}  // namespace

void FailRegistryOpen(LSTATUS code) {
  std::lock_guard lock(State().mutex);
  State().openFault = code;
}

void FailRegistryEnumAt(DWORD index, LSTATUS code) {
  std::lock_guard lock(State().mutex);
  State().enumFaults[index] = code;
}

void ClearRegistryFaults() {
  std::lock_guard lock(State().mutex);
  State().openFault.reset();
  State().enumFaults.clear();
}

}  // namespace win32

using namespace win32;

// Results: ERROR_SUCCESS; ERROR_INVALID_PARAMETER (no result variable);
// ERROR_INVALID_HANDLE (a root other than HKEY_LOCAL_MACHINE);
// ERROR_FILE_NOT_FOUND (any other key path); an injected fault.
LSTATUS RegOpenKeyExA(HKEY key, LPCSTR subKey, DWORD, REGSAM, HKEY* result) {
  if (result == nullptr) return ERROR_INVALID_PARAMETER;
  {
    std::lock_guard lock(State().mutex);
    if (State().openFault) return *State().openFault;
  }
  if (key != HKEY_LOCAL_MACHINE) return ERROR_INVALID_HANDLE;
  if (subKey == nullptr || !EqualsNoCase(subKey, kSerialComm)) return ERROR_FILE_NOT_FOUND;
  std::vector<SerialMapEntry> entries = ListSerialMap();
  Keys& keys = State();
  std::lock_guard lock(keys.mutex);
  const std::uintptr_t id = keys.next;
  keys.next += 4;
  keys.open.emplace(id, std::move(entries));
  *result = reinterpret_cast<HKEY>(id);
  return ERROR_SUCCESS;
}

// Value `index`: name "\Device\...", type REG_SZ, data the port name with its
// terminating zero. Capacities: *valueNameChars in characters including the
// terminator (set to the length without it on success), *dataBytes in bytes
// (set to the size needed). Results: ERROR_SUCCESS; ERROR_MORE_DATA (234)
// when the name or the data does not fit; ERROR_NO_MORE_ITEMS (259) past the
// last value; ERROR_INVALID_HANDLE (not an open key); ERROR_INVALID_PARAMETER
// (no name buffer, a reserved argument, data without a size); an injected
// fault.
LSTATUS RegEnumValueA(HKEY key, DWORD index, LPSTR valueName, LPDWORD valueNameChars,
                      LPDWORD reserved, LPDWORD type, LPBYTE data, LPDWORD dataBytes) {
  Keys& keys = State();
  std::lock_guard lock(keys.mutex);
  auto it = keys.open.find(reinterpret_cast<std::uintptr_t>(key));
  if (it == keys.open.end()) return ERROR_INVALID_HANDLE;
  if (valueName == nullptr || valueNameChars == nullptr || reserved != nullptr ||
      (data != nullptr && dataBytes == nullptr))
    return ERROR_INVALID_PARAMETER;
  if (auto fault = keys.enumFaults.find(index); fault != keys.enumFaults.end())
    return fault->second;
  if (index >= it->second.size()) return ERROR_NO_MORE_ITEMS;
  const SerialMapEntry& entry = it->second[index];
  const DWORD nameLength = static_cast<DWORD>(entry.valueName.size());
  const DWORD dataLength = static_cast<DWORD>(entry.portName.size() + 1);
  if (nameLength + 1 > *valueNameChars) return ERROR_MORE_DATA;
  if (data != nullptr && dataLength > *dataBytes) {
    *dataBytes = dataLength;
    return ERROR_MORE_DATA;
  }
  entry.valueName.copy(valueName, nameLength);
  valueName[nameLength] = '\0';
  *valueNameChars = nameLength;
  if (data != nullptr) {
    entry.portName.copy(reinterpret_cast<char*>(data), dataLength - 1);
    data[dataLength - 1] = 0;
  }
  if (dataBytes != nullptr) *dataBytes = dataLength;
  if (type != nullptr) *type = REG_SZ;
  return ERROR_SUCCESS;
}

// Results: ERROR_SUCCESS, ERROR_INVALID_HANDLE.
LSTATUS RegCloseKey(HKEY key) {
  Keys& keys = State();
  std::lock_guard lock(keys.mutex);
  return keys.open.erase(reinterpret_cast<std::uintptr_t>(key)) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}
