# Converter tests, included by tests/CMakeLists.txt: convert_tests (host
# refusals, LWOB round trips through a strict reader, layout limits,
# handedness, output files, surface names per format), the geometry the
# writers share (triangles, normals) and command_line_tests (the converter
# run as a user runs it). The readers of other programs run from
# tools/check-converter.sh and tools/check-names.sh.
if(NOT TARGET ostrel_standin OR NOT TARGET ostrel_module)
  return()
endif()
if(NOT OSTREL_HAVE_GLTF)
  message(STATUS "convert_tests need tinygltf (tools/install-deps.sh installs it): not built")
  return()
endif()
if(NOT TARGET GTest::gtest_main)
  find_package(GTest REQUIRED)
endif()
include(GoogleTest)

add_executable(convert_tests ${CMAKE_CURRENT_LIST_DIR}/ConvertTests.cpp
  ${CMAKE_CURRENT_LIST_DIR}/OutputNameTests.cpp ${CMAKE_CURRENT_LIST_DIR}/GeometryTests.cpp)
target_link_libraries(convert_tests PRIVATE ostrel_standin GTest::gtest_main)
target_compile_definitions(convert_tests PRIVATE
  OSTREL_MODULE_PATH="$<TARGET_FILE:ostrel_module>"
  OSTREL_EXAMPLES_DIR="${CMAKE_SOURCE_DIR}/examples"
  OSTREL_TEST_DATA_DIR="${CMAKE_SOURCE_DIR}/tests/data")
add_dependencies(convert_tests ostrel_module)
if(OSTREL_HAVE_FBX)
  # The FBX writer's output is read back by the same library's reader.
  target_compile_definitions(convert_tests PRIVATE OSTREL_TEST_FBX)
  target_include_directories(convert_tests SYSTEM PRIVATE ${OSTREL_ASSIMP_INCLUDE})
endif()
gtest_discover_tests(convert_tests DISCOVERY_MODE PRE_TEST)

# The converter run as a user runs it (exit status, lines, files left),
# through a POSIX shell.
if(WIN32)
  return()
endif()
add_executable(command_line_tests ${CMAKE_CURRENT_LIST_DIR}/CommandLineTests.cpp)
target_link_libraries(command_line_tests PRIVATE GTest::gtest_main)
# A cross build (the 32-bit suite under qemu) runs ostrel through its
# emulator, as ctest runs the test program itself.
target_compile_definitions(command_line_tests PRIVATE
  OSTREL_EXE="$<TARGET_FILE:ostrel>"
  OSTREL_EMULATOR="${CMAKE_CROSSCOMPILING_EMULATOR}"
  OSTREL_EXAMPLES_DIR="${CMAKE_SOURCE_DIR}/examples")
add_dependencies(command_line_tests ostrel ostrel_module)
gtest_discover_tests(command_line_tests DISCOVERY_MODE PRE_TEST)
