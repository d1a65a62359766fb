# The plug-in's core: the reader, grouping, geometry, surface blocks, panel
# and activation, run in-process against hand-made model text. The panel's
# Shift-JIS labels are read with the platform's text codec.
file(GLOB OSTREL_MODULE_TEST_SOURCES CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/*.cpp)
add_executable(module_tests ${OSTREL_MODULE_TEST_SOURCES})
target_link_libraries(module_tests PRIVATE ostrel_core ostrel_platform GTest::gtest_main)
target_include_directories(module_tests PRIVATE ${CMAKE_CURRENT_LIST_DIR})
target_compile_definitions(module_tests PRIVATE OSTREL_TEST_DATA="${CMAKE_SOURCE_DIR}/tests/data")
gtest_discover_tests(module_tests DISCOVERY_MODE PRE_TEST)
