# The conversion: the LWOB writer read back by a strict reader, the layout
# limits, handedness, surface names per format, points that are not finite
# numbers. Models are imported through the plug-in linked into the program.
# The readers of other programs run from tools/check-converter.sh and
# tools/check-names.sh.
if(NOT OSTREL_HAVE_GLTF OR NOT OSTREL_TINYGLTF_INCLUDE)
  message(STATUS "convert_tests need tinygltf (tools/install-deps.sh installs it): not built")
  return()
endif()
ostrel_unit_tests(convert_tests ${CMAKE_CURRENT_LIST_DIR} ostrel_pipeline ostrel_linked_module)
# The 3MF package is inflated by zlib to be read back, where the build
# machine's zlib suits the tests (not in the cross builds).
if(NOT CMAKE_CROSSCOMPILING)
  find_package(ZLIB)
endif()
if(ZLIB_FOUND)
  target_link_libraries(convert_tests PRIVATE ZLIB::ZLIB)
  target_compile_definitions(convert_tests PRIVATE OSTREL_TEST_ZLIB)
endif()
# The glb reader of the tests: tinygltf's loader, without its image codecs.
target_include_directories(convert_tests SYSTEM PRIVATE ${OSTREL_TINYGLTF_INCLUDE}
                           ${OSTREL_NLOHMANN_JSON_INCLUDE})
target_compile_definitions(convert_tests PRIVATE TINYGLTF_NO_STB_IMAGE TINYGLTF_NO_STB_IMAGE_WRITE
                           TINYGLTF_NO_EXTERNAL_IMAGE)
if(OSTREL_HAVE_FBX)
  # The FBX writer's output is read back by the same library's reader.
  target_compile_definitions(convert_tests PRIVATE OSTREL_TEST_FBX)
  target_include_directories(convert_tests SYSTEM PRIVATE ${OSTREL_ASSIMP_INCLUDE})
endif()
