// The handle table, CloseHandle, the per-thread last error and Sleep.
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <shared_mutex>
#include <thread>
#include <unordered_map>

#include "Kernel.h"

namespace win32 {
namespace {

struct HandleTable {
  std::shared_mutex mutex;
  std::unordered_map<std::uintptr_t, std::shared_ptr<KernelObject>> objects;
  // Starts well away from 0 and -1 (INVALID_HANDLE_VALUE); steps by 4 like
  // Windows handle values, so the low bits stay clear.
  std::uintptr_t next = 0x1000;
};

// Never destroyed: devices still open at exit keep their threads running
// until the process ends, and must not find the table gone.
HandleTable& Table() {
  static auto* table = new HandleTable;
  return *table;
}

thread_local DWORD lastError = ERROR_SUCCESS;

}  // namespace

HANDLE InsertHandle(std::shared_ptr<KernelObject> object) {
  HandleTable& table = Table();
  std::unique_lock lock(table.mutex);
  const std::uintptr_t value = table.next;
  table.next += 4;
  table.objects.emplace(value, std::move(object));
  return reinterpret_cast<HANDLE>(value);
}

std::shared_ptr<KernelObject> LookupHandle(HANDLE handle, ObjectType type) {
  HandleTable& table = Table();
  std::shared_ptr<KernelObject> found;
  {
    std::shared_lock lock(table.mutex);
    auto it = table.objects.find(reinterpret_cast<std::uintptr_t>(handle));
    if (it != table.objects.end()) found = it->second;
  }
  // The type tag is immutable: checked before any lock of the object.
  if (!found || found->type != type) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  return found;
}

}  // namespace win32

using namespace win32;

DWORD GetLastError() { return lastError; }

void SetLastError(DWORD code) { lastError = code; }

// CloseHandle: removes the handle at once (a second close fails with
// ERROR_INVALID_HANDLE), then lets the object finish: an event wakes its
// waiters, a serial device completes its pending requests with
// ERROR_OPERATION_ABORTED and stops its threads before this returns.
// Last errors: ERROR_INVALID_HANDLE.
BOOL CloseHandle(HANDLE handle) {
  HandleTable& table = Table();
  std::shared_ptr<KernelObject> object;
  {
    std::unique_lock lock(table.mutex);
    auto it = table.objects.find(reinterpret_cast<std::uintptr_t>(handle));
    if (it == table.objects.end()) return Fail(ERROR_INVALID_HANDLE);
    object = std::move(it->second);
    table.objects.erase(it);
  }
  return object->ops->close(*object);
}

void Sleep(DWORD milliseconds) {
  if (milliseconds == INFINITE) {
    // Sleep(INFINITE) never returns on Windows either: block on a condition
    // that nothing ever signals.
    static auto* mutex = new std::mutex;
    static auto* never = new std::condition_variable;
    std::unique_lock lock(*mutex);
    never->wait(lock, [] { return false; });
  }
  if (milliseconds == 0) {
    std::this_thread::yield();
    return;
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}
