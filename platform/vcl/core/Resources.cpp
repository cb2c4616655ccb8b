#include "Resources.h"

#include <map>
#include <mutex>

namespace vcl {

namespace {
std::string Upper(std::string s) {
  for (char& c : s)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return s;
}
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
  Table()[Upper(name)] = std::move(data);
}

const std::string* FindResource(const std::string& name) {
  std::lock_guard<std::mutex> guard(Lock());
  auto it = Table().find(Upper(name));
  // std::map nodes are stable: the pointer stays valid until re-registration.
  return it == Table().end() ? nullptr : &it->second;
}

}  // namespace vcl
