# The thumbnail: the png writer's pixels from the engine's arrays, models
# that give none, the size bound, the bitmap's premultiplied rows. The COM
# server around it is tested under Wine by the host in host/
# (tools/check-thumbnails.sh).
ostrel_unit_tests(explorer_tests ${CMAKE_CURRENT_LIST_DIR} ostrel_thumbnail)
if(TARGET ostrel_thumbnails)
  add_executable(thumbnail_host ${CMAKE_CURRENT_LIST_DIR}/host/ThumbnailHost.cpp)
  target_link_libraries(thumbnail_host PRIVATE shlwapi ole32 uuid advapi32 user32 gdi32 psapi)
  target_compile_definitions(thumbnail_host PRIVATE CINTERFACE WIN32_LEAN_AND_MEAN
                             NOMINMAX UNICODE _UNICODE)
  target_include_directories(thumbnail_host PRIVATE ${CMAKE_SOURCE_DIR})
  add_dependencies(thumbnail_host ostrel_thumbnails)
endif()
