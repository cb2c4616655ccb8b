// Resources compiled into the program: layouts and bitmaps by name.
#pragma once

#include <string>

namespace vcl {

// Registers `data` under `name` (case-insensitive). Generated resource files
// call this from a registration function.
void RegisterResource(const std::string& name, std::string data);
// The resource's bytes, or nullptr when there is none.
const std::string* FindResource(const std::string& name);

}  // namespace vcl
