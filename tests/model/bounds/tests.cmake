# Resource bounds, truncation and allocation-failure tests. Included from
# tests/CMakeLists.txt.
#
# The counting heap replaces the C library's allocator through glibc's own
# entry points: Linux only. Its own executable: it replaces the global
# operator new and delete to count heap bytes, and keeps the core's tables on
# the heap too, where they are counted.
if(WIN32)
  return()
endif()
file(GLOB BOUNDS_TEST_SOURCES CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/*.cpp)
add_executable(bounds_tests ${BOUNDS_TEST_SOURCES})
target_link_libraries(bounds_tests PRIVATE ostrel_core_heap_tables ostrel_standin ostrel_plugin
                      GTest::gtest_main)
target_include_directories(bounds_tests PRIVATE ${CMAKE_SOURCE_DIR} ${CMAKE_SOURCE_DIR}/tests)
target_compile_definitions(bounds_tests PRIVATE OSTREL_EXAMPLES="${CMAKE_SOURCE_DIR}/examples")
gtest_discover_tests(bounds_tests DISCOVERY_MODE PRE_TEST PROPERTIES TIMEOUT 300)
