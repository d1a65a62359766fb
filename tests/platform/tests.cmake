# What differs by system: the text codec and the file system's paths and
# scratch folders.
file(GLOB OSTREL_PLATFORM_TEST_SOURCES CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/*.cpp)
add_executable(platform_tests ${OSTREL_PLATFORM_TEST_SOURCES})
target_link_libraries(platform_tests PRIVATE ostrel_platform GTest::gtest_main)
gtest_discover_tests(platform_tests DISCOVERY_MODE PRE_TEST)
