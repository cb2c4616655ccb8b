// Helpers shared by the engine's source files; not part of the public unit.
#pragma once

#include "CPort.h"

namespace cport_detail {

// Hands the exception being handled to the application's display. Call
// inside a catch block, on the user-interface thread.
void ReportCurrentException(vcl::TObject* sender);

// Raises EComPort with `engineCode` and the last error of the call that just
// failed.
[[noreturn]] void RaiseLastError(int engineCode);

}  // namespace cport_detail
