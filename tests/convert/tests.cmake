# The conversion: the LWOB writer read back by a strict reader, the layout
# limits, handedness, surface names per format, points that are not finite
# numbers, and the geometry the writers share (triangles, normals). Models
# are imported through the plug-in linked into the program. The readers of
# other programs run from tools/check-converter.sh and tools/check-names.sh.
if(NOT OSTREL_HAVE_GLTF)
  message(STATUS "convert_tests need tinygltf (tools/install-deps.sh installs it): not built")
  return()
endif()
file(GLOB OSTREL_CONVERT_TEST_SOURCES CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/*.cpp)
add_executable(convert_tests ${OSTREL_CONVERT_TEST_SOURCES})
target_link_libraries(convert_tests PRIVATE ostrel_pipeline ostrel_linked_module
                      GTest::gtest_main)
target_include_directories(convert_tests PRIVATE ${OSTREL_TEST_SUPPORT})
target_compile_definitions(convert_tests PRIVATE
  OSTREL_EXAMPLES_DIR="${CMAKE_SOURCE_DIR}/examples"
  OSTREL_TEST_DATA_DIR="${CMAKE_SOURCE_DIR}/tests/data")
if(OSTREL_HAVE_FBX)
  # The FBX writer's output is read back by the same library's reader.
  target_compile_definitions(convert_tests PRIVATE OSTREL_TEST_FBX)
  target_include_directories(convert_tests SYSTEM PRIVATE ${OSTREL_ASSIMP_INCLUDE})
endif()
gtest_discover_tests(convert_tests DISCOVERY_MODE PRE_TEST)
