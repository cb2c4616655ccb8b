# Resources compiled into a program: window layouts and bitmaps.
#
#   modem_add_resources(<target> FUNCTION <name> FILES <file>...)
#
# Each file becomes a resource named by its file name without the extension
# (case-insensitive: resources/ComMainForm.dfm is "ComMainForm",
# resources/leds/LEDREDON.bmp is "LEDREDON"). A generated source added to
# <target> defines `void <name>()`, which registers them all with
# vcl::RegisterResource; calling it more than once does nothing more. The
# generated header <name>.h declares it. Nothing runs from a static
# initialiser, so a static library keeps its resources.
set(MODEM_RESOURCE_SCRIPT ${CMAKE_CURRENT_LIST_DIR}/ResourceCompile.cmake CACHE INTERNAL "")

function(modem_add_resources target)
  cmake_parse_arguments(RES "" "FUNCTION" "FILES" ${ARGN})
  if(NOT RES_FUNCTION OR NOT RES_FILES)
    message(FATAL_ERROR "modem_add_resources(${target} FUNCTION <name> FILES <file>...)")
  endif()
  set(files "")
  foreach(f IN LISTS RES_FILES)
    get_filename_component(abs ${f} ABSOLUTE)
    list(APPEND files ${abs})
  endforeach()
  set(dir ${CMAKE_CURRENT_BINARY_DIR}/resources_${RES_FUNCTION})
  set(source ${dir}/${RES_FUNCTION}.cpp)
  set(header ${dir}/${RES_FUNCTION}.h)
  string(REPLACE ";" "|" packed "${files}")
  add_custom_command(
    OUTPUT ${source} ${header}
    COMMAND ${CMAKE_COMMAND} -DOUT_SOURCE=${source} -DOUT_HEADER=${header}
            -DFUNCTION=${RES_FUNCTION} -DFILES=${packed} -P ${MODEM_RESOURCE_SCRIPT}
    DEPENDS ${files} ${MODEM_RESOURCE_SCRIPT}
    COMMENT "Compiling resources ${RES_FUNCTION}"
    VERBATIM)
  target_sources(${target} PRIVATE ${source} ${header})
  target_include_directories(${target} PUBLIC ${dir})
  target_link_libraries(${target} PUBLIC vcl_core)
endfunction()
