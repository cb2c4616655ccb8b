// Test hooks for the registry calls: make reading the serial device map fail
// the way a damaged or unreadable registry would.
#pragma once

#include "win32.h"

namespace win32 {

// Every RegOpenKeyExA returns `code` until ClearRegistryFaults.
void FailRegistryOpen(LSTATUS code);
// Every RegEnumValueA at `index` returns `code` until ClearRegistryFaults.
void FailRegistryEnumAt(DWORD index, LSTATUS code);
void ClearRegistryFaults();

}  // namespace win32
