# Assembles the add-on (cmake -P; the variables are set by
# blender/CMakeLists.txt): the legacy zip for Blender 3.x, which holds one
# folder, the add-on's package with the engine for both systems,
#   io_import_ostrel/*.py, blender_manifest.toml
#   io_import_ostrel/ostrel/*.py     the Python package, the add-on's binding
#   io_import_ostrel/lib/linux-x64/libostrel_engine.so
#   io_import_ostrel/lib/windows-x64/ostrel_engine.dll
#   io_import_ostrel/licences/*.txt
# and, for Blender 4.2 on, one source folder per platform (STAGE/PLATFORM)
# with that platform's library alone and the manifest naming that platform
# alone, from which `blender --command extension build --split-platforms`
# makes that platform's package (tools/check-blender-addon.sh).
foreach(file ostrel_engine.dll package-files/licences/ostrel.txt)
  if(NOT EXISTS "${WIN64_BUILD}/${file}")
    message(FATAL_ERROR "${WIN64_BUILD}/${file} is missing: the add-on carries the Windows engine, "
                        "build it first: cmake --preset win64 && cmake --build --preset win64 --target ostrel_engine")
  endif()
endforeach()

file(REMOVE_RECURSE ${STAGE})
file(GLOB sources ${SOURCE}/*.py)
# The package without its loaders for other Python libraries, which Blender
# has no use for.
file(GLOB binding ${PYTHON_PACKAGE}/*.py)
list(FILTER binding EXCLUDE REGEX "/(trimesh|meshio)\\.py$")
# The Windows build's licence texts cover both libraries: the project's, the
# glTF writer's headers and the compiler's runtime.
file(GLOB licences ${WIN64_BUILD}/package-files/licences/*.txt)
file(READ ${SOURCE}/blender_manifest.toml manifest)

function(stage folder linux windows manifest_text)
  set(package ${STAGE}/${folder})
  file(COPY ${sources} DESTINATION ${package})
  file(COPY ${binding} DESTINATION ${package}/ostrel)
  file(WRITE ${package}/blender_manifest.toml "${manifest_text}")
  if(linux)
    file(COPY ${LINUX_LIBRARY} DESTINATION ${package}/lib/linux-x64)
  endif()
  if(windows)
    file(COPY ${WIN64_BUILD}/ostrel_engine.dll DESTINATION ${package}/lib/windows-x64)
  endif()
  file(COPY ${licences} DESTINATION ${package}/licences)
endfunction()

stage(zip/io_import_ostrel ON ON "${manifest}")
string(REPLACE "platforms = [\"linux-x64\", \"windows-x64\"]" "platforms = [\"linux-x64\"]" linux "${manifest}")
string(REPLACE "platforms = [\"linux-x64\", \"windows-x64\"]" "platforms = [\"windows-x64\"]" windows "${manifest}")
stage(linux-x64 ON OFF "${linux}")
stage(windows-x64 OFF ON "${windows}")

file(REMOVE ${ZIP})
execute_process(COMMAND ${CMAKE_COMMAND} -E tar cf ${ZIP} --format=zip io_import_ostrel
                WORKING_DIRECTORY ${STAGE}/zip RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "cannot write ${ZIP}")
endif()
