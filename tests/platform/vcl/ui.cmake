# The visual runtime: real Qt widgets on the offscreen platform.
if(NOT TARGET vcl_ui)
  return()
endif()
if(NOT COMMAND modem_add_resources)
  include(${PROJECT_SOURCE_DIR}/cmake/Resources.cmake)
endif()

file(GLOB UI_TESTS CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/ui_*.cpp)
add_executable(test_vcl_ui ${UI_TESTS})
target_link_libraries(test_vcl_ui PRIVATE vcl_ui GTest::gtest)
modem_add_resources(test_vcl_ui FUNCTION RegisterUiTestResources
  FILES ${PROJECT_SOURCE_DIR}/resources/help/HelpGlyph.bmp)
modem_warnings(test_vcl_ui)
gtest_discover_tests(test_vcl_ui
  DISCOVERY_TIMEOUT 60
  PROPERTIES LABELS qt ENVIRONMENT QT_QPA_PLATFORM=offscreen)
