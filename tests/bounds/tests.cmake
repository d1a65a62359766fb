# Resource bounds, truncation and allocation-failure tests, and the replay of
# the fuzz corpus and pinned crashes. Included from tests/CMakeLists.txt.
set(OSTREL_BOUNDS_DIR ${CMAKE_CURRENT_LIST_DIR})
set(OSTREL_FUZZ_DIR ${CMAKE_SOURCE_DIR}/fuzz)

# The counting heap replaces the C library's allocator through glibc's own
# entry points: Linux only.
if(NOT WIN32)
  # Its own executable: it replaces the global operator new and delete to count
  # heap bytes. It keeps the tables on the heap too, where they are counted: its
  # own table memory, built without the mapped path, stands in for the
  # library's (whose member the linker then leaves out).
  file(GLOB BOUNDS_TEST_SOURCES CONFIGURE_DEPENDS ${OSTREL_BOUNDS_DIR}/*.cpp)
  add_executable(bounds_tests ${BOUNDS_TEST_SOURCES} ${CMAKE_SOURCE_DIR}/model/TableMemory.cpp)
  set_source_files_properties(${CMAKE_SOURCE_DIR}/model/TableMemory.cpp TARGET_DIRECTORY bounds_tests
    PROPERTIES COMPILE_DEFINITIONS OSTREL_PLAIN_TABLE_MEMORY)
  target_link_libraries(bounds_tests PRIVATE ostrel_core GTest::gtest_main)
  target_include_directories(bounds_tests PRIVATE ${CMAKE_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR})
  target_compile_definitions(bounds_tests PRIVATE OSTREL_EXAMPLES="${CMAKE_SOURCE_DIR}/examples")
  gtest_discover_tests(bounds_tests DISCOVERY_MODE PRE_TEST PROPERTIES TIMEOUT 300)
endif()

add_executable(fuzz_replay ${OSTREL_FUZZ_DIR}/Replay.cpp)
target_link_libraries(fuzz_replay PRIVATE ostrel_core)
target_include_directories(fuzz_replay PRIVATE ${CMAKE_SOURCE_DIR})
add_test(NAME fuzz_replay COMMAND fuzz_replay ${OSTREL_FUZZ_DIR}/corpus ${OSTREL_FUZZ_DIR}/regressions)
