#include "ShellApi.h"

#include <QDesktopServices>
#include <QUrl>
#include <cstdint>
#include <utility>

#include "QtBridge.h"

namespace vcl {
namespace {
TShellExecuteHook& Hook() {
  static TShellExecuteHook hook;
  return hook;
}
std::optional<std::string> Arg(LPCSTR s) {
  if (!s) return std::nullopt;
  return std::string(s);
}
}  // namespace

TShellExecuteHook SetShellExecuteHook(TShellExecuteHook hook) {
  return std::exchange(Hook(), std::move(hook));
}
}  // namespace vcl

HINSTANCE ShellExecuteA(HWND owner, LPCSTR operation, LPCSTR file, LPCSTR parameters, LPCSTR directory,
                        int showCommand) {
  // Results as the shell gives them: above 32 is success.
  constexpr std::intptr_t kDone = 42;
  constexpr std::intptr_t kFileNotFound = 2;
  constexpr std::intptr_t kNoAssociation = 31;
  auto result = [](std::intptr_t code) { return reinterpret_cast<HINSTANCE>(code); };

  vcl::TShellExecuteRecord record{owner, vcl::Arg(operation), vcl::Arg(file), vcl::Arg(parameters),
                                  vcl::Arg(directory), showCommand};
  if (vcl::Hook()) return result(vcl::Hook()(record) ? kDone : kFileNotFound);

  const std::string verb = operation ? operation : "open";
  if (verb != "open") return result(kNoAssociation);
  if (!file || !*file) return result(kFileNotFound);
  QUrl url(vcl::ToQ(file));
  if (url.scheme().isEmpty() || url.scheme().size() == 1)  // a path, or a drive letter
    url = QUrl::fromLocalFile(vcl::ToQ(file));
  return result(QDesktopServices::openUrl(url) ? kDone : kFileNotFound);
}
