# Script mode: writes OUT_SOURCE and OUT_HEADER for the resources in FILES
# ('|'-separated), registered by the function FUNCTION.
string(REPLACE "|" ";" files "${FILES}")
set(arrays "")
set(calls "")
set(index 0)
foreach(f IN LISTS files)
  get_filename_component(name ${f} NAME_WE)
  file(READ ${f} hex HEX)
  string(LENGTH "${hex}" hexLength)
  math(EXPR size "${hexLength} / 2")
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
  # Sixteen bytes a line keeps the generated file readable.
  string(REGEX REPLACE "((0x[0-9a-f][0-9a-f],){16})" "\\1\n    " bytes "${bytes}")
  string(APPEND arrays "// ${f}\nconst unsigned char data${index}[] = {\n    ${bytes}0x00};\n")
  string(APPEND calls "    vcl::RegisterResource(\"${name}\", std::string(reinterpret_cast<const char*>(data${index}), ${size}));\n")
  math(EXPR index "${index} + 1")
endforeach()
file(WRITE ${OUT_HEADER} "// Generated: registers the compiled-in resources.\n#pragma once\n\nvoid ${FUNCTION}();\n")
file(WRITE ${OUT_SOURCE} "// Generated from the resource files; edit those instead.
#include <string>

#include \"${FUNCTION}.h\"
#include \"Resources.h\"

namespace {
${arrays}}  // namespace

void ${FUNCTION}() {
  static const bool done = [] {
${calls}    return true;
  }();
  (void)done;
}
")
