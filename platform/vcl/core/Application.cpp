#include <cstdio>

#include "AppCore.h"

namespace vcl {

TApplication* Application = nullptr;

TApplication* EnsureApplication() {
  if (!Application) Application = new TApplication(nullptr);
  return Application;
}

std::string ExceptionMessage(const std::exception_ptr& e) {
  if (!e) return {};
  try {
    std::rethrow_exception(e);
  } catch (const Exception& ex) {
    return ex.Message;
  } catch (const std::exception& ex) {
    return ex.what();
  } catch (...) {
    return "Unknown exception";
  }
}

TApplication::TApplication(TComponent* owner) : TComponent(owner) {
  if (!Application) Application = this;
}

TApplication::~TApplication() {
  if (Application == this) Application = nullptr;
}

void TApplication::HandleException(TObject*) {
  if (std::exception_ptr e = std::current_exception()) ShowException(e);
}

void TApplication::ShowException(const std::exception_ptr& e) {
  std::string message = ExceptionMessage(e);
  // A message that does not end in punctuation gets a full stop, as the
  // platform's exception box always did.
  if (!message.empty() && static_cast<unsigned char>(message.back()) > '.') message += '.';
  if (ExceptionDisplay) {
    ExceptionDisplay(message);
    return;
  }
  std::fprintf(stderr, "%s: %s\n", title_.c_str(), message.c_str());
}

void TApplication::ProcessMessages() {
  CheckSynchronize();
  if (ProcessMessagesHook) ProcessMessagesHook();
}

}  // namespace vcl
