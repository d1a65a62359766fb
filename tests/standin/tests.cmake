# The host simulation: the trace format, the import callbacks and what the
# host refuses, the panel services as the plug-in sees them, the module
# checks.
file(GLOB OSTREL_STANDIN_TEST_SOURCES CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/*.cpp)
add_executable(standin_tests ${OSTREL_STANDIN_TEST_SOURCES})
target_link_libraries(standin_tests PRIVATE ostrel_standin GTest::gtest_main)
target_include_directories(standin_tests PRIVATE ${OSTREL_TEST_SUPPORT})
gtest_discover_tests(standin_tests DISCOVERY_MODE PRE_TEST)
