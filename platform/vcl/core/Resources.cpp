#include "Resources.h"

#include <map>
#include <mutex>

#include "System.h"

namespace vcl {

namespace {
std::mutex& Lock() {
  static std::mutex lock;
  return lock;
}
std::map<std::string, std::string>& Table() {
  static std::map<std::string, std::string> table;
  return table;
}
}  // namespace

void RegisterResource(const std::string& name, std::string data) {
  std::lock_guard<std::mutex> guard(Lock());
  Table()[UpperCase(name)] = std::move(data);
}

const std::string* FindResource(const std::string& name) {
  std::lock_guard<std::mutex> guard(Lock());
  auto it = Table().find(UpperCase(name));
  // std::map nodes are stable: the pointer stays valid until re-registration.
  return it == Table().end() ? nullptr : &it->second;
}

}  // namespace vcl
