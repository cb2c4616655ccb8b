// The shell call that opens a document or a web address.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "win32.h"

constexpr int SW_HIDE = 0;
constexpr int SW_SHOWNORMAL = 1;
constexpr int SW_NORMAL = 1;
constexpr int SW_SHOW = 5;

// Performs `operation` ("open", or nullptr for the default) on `file`. A web
// address is opened in the desktop's browser. Returns a value above 32 on
// success, an error code of 32 or below on failure (2: nothing could open
// it). The window and show arguments are taken but not used: the browser
// decides how its window appears.
HINSTANCE ShellExecuteA(HWND owner, LPCSTR operation, LPCSTR file, LPCSTR parameters,
                        LPCSTR directory, int showCommand);

namespace vcl {

// One ShellExecuteA call as made; a null pointer argument is an empty optional.
struct TShellExecuteRecord {
  HWND owner = nullptr;
  std::optional<std::string> operation;
  std::optional<std::string> file;
  std::optional<std::string> parameters;
  std::optional<std::string> directory;
  int showCommand = 0;
};

// When set, ShellExecuteA opens nothing: the hook sees the call and returns
// whether it succeeded. Returns the previous hook.
using TShellExecuteHook = std::function<bool(const TShellExecuteRecord&)>;
TShellExecuteHook SetShellExecuteHook(TShellExecuteHook hook);

}  // namespace vcl
