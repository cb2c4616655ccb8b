// Kernel objects behind HANDLE values: the common header every object
// carries, the handle table and the per-thread last error.
//
// Internal to the win32 library.
#pragma once

#include <cstdint>
#include <memory>

#include "win32.h"

namespace win32 {

// The kinds of object a HANDLE can name. The tag is fixed at construction,
// so a caller can check it before taking any lock of the object.
enum class ObjectType : std::uint8_t { Event, CommDevice };

struct KernelObject;

// Operations common to every kind of object.
struct ObjectOps {
  const char* kind;                    // for diagnostics: "event", "comm device"
  BOOL (*close)(KernelObject& self);   // CloseHandle; runs on the caller's thread
};

struct KernelObject {
  KernelObject(ObjectType t, const ObjectOps* o) : type(t), ops(o) {}
  virtual ~KernelObject() = default;
  KernelObject(const KernelObject&) = delete;
  KernelObject& operator=(const KernelObject&) = delete;

  const ObjectType type;
  const ObjectOps* const ops;
};

// Enters an object into the table and returns its new handle. Handle values
// are never reused while the process runs, so a stale handle fails cleanly
// with ERROR_INVALID_HANDLE instead of reaching a newer object.
HANDLE InsertHandle(std::shared_ptr<KernelObject> object);

// Finds the object of a handle, or nullptr (last error ERROR_INVALID_HANDLE)
// when the handle is unknown, closed or names an object of another type.
// The caller keeps the object alive through the returned pointer even if
// another thread closes the handle meanwhile.
std::shared_ptr<KernelObject> LookupHandle(HANDLE handle, ObjectType type);

template <typename T>
std::shared_ptr<T> Lookup(HANDLE handle) {
  return std::static_pointer_cast<T>(LookupHandle(handle, T::kType));
}

// Sets the calling thread's last error and returns FALSE: the tail of every
// failing BOOL call.
inline BOOL Fail(DWORD code) {
  SetLastError(code);
  return FALSE;
}

}  // namespace win32
