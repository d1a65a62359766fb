# The entry point of every front end, called as a front end calls it: model
# bytes in, outcome and files out, the plug-in linked into the program.
file(GLOB OSTREL_PIPELINE_TEST_SOURCES CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/*.cpp)
add_executable(pipeline_tests ${OSTREL_PIPELINE_TEST_SOURCES})
target_link_libraries(pipeline_tests PRIVATE ostrel_pipeline ostrel_linked_module
                      GTest::gtest_main)
target_include_directories(pipeline_tests PRIVATE ${OSTREL_TEST_SUPPORT})
target_compile_definitions(pipeline_tests PRIVATE
  OSTREL_EXAMPLES_DIR="${CMAKE_SOURCE_DIR}/examples"
  OSTREL_TEST_DATA_DIR="${CMAKE_SOURCE_DIR}/tests/data")
gtest_discover_tests(pipeline_tests DISCOVERY_MODE PRE_TEST)
