# Assembles the add-on's zip (cmake -P; the variables are set by
# blender/CMakeLists.txt). The zip holds one folder, the add-on's package:
#   io_import_ostrel/*.py
#   io_import_ostrel/bin/linux-x86_64/ostrel, ostrel.p
#   io_import_ostrel/bin/windows/ostrel.exe, ostrel.p
#   io_import_ostrel/licences/*.txt
foreach(file ostrel.exe ostrel.p package-files/licences/ostrel.txt)
  if(NOT EXISTS "${WIN32_BUILD}/${file}")
    message(FATAL_ERROR "${WIN32_BUILD}/${file} is missing: the zip carries the Windows converter, "
                        "build it first: cmake --preset win32 && cmake --build --preset win32")
  endif()
endforeach()

set(package ${STAGE}/io_import_ostrel)
file(REMOVE_RECURSE ${STAGE})
file(GLOB sources ${SOURCE}/*.py)
file(COPY ${sources} DESTINATION ${package})
file(COPY ${LINUX_PROGRAM} ${LINUX_MODULE} DESTINATION ${package}/bin/linux-x86_64
     FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                      WORLD_READ WORLD_EXECUTE)
file(COPY ${WIN32_BUILD}/ostrel.exe ${WIN32_BUILD}/ostrel.p DESTINATION ${package}/bin/windows)
# The Windows build's licence texts cover both converters: the project's, the
# glTF writer's headers and the compiler's runtime.
file(GLOB licences ${WIN32_BUILD}/package-files/licences/*.txt)
file(COPY ${licences} DESTINATION ${package}/licences)

file(REMOVE ${ZIP})
execute_process(COMMAND ${CMAKE_COMMAND} -E tar cf ${ZIP} --format=zip io_import_ostrel
                WORKING_DIRECTORY ${STAGE} RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "cannot write ${ZIP}")
endif()
