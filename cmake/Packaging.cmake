# What a user installs, made by CPack: on Windows a ZIP with the module,
# ostrel.exe, a README for Windows users, the examples and the licence texts,
# for 32-bit hosts (the win32 preset) and for 64-bit ones (win64, which also
# holds Explorer's thumbnail handler); on Linux (the default preset) a Debian
# package.
#
#   cpack --preset zip    -> build-win32/ostrel-<version>-win32.zip
#   cpack --preset zip64  -> build-win64/ostrel-<version>-win64.zip
#   cpack --preset deb    -> build/ostrel_<version>_<arch>.deb
#
# Everything goes into the install component "ostrel" and CPack takes only that
# component, so install rules of anything built alongside stay out.
#
# Debian layout: the program and the module live together in /usr/lib/ostrel/
# and /usr/bin/ostrel is a symbolic link to the program; the Python package
# lies in /usr/lib/python3/dist-packages/ostrel/, the Blender add-on in
# /usr/share/blender/scripts/addons/io_import_ostrel/; the thumbnailer is
# /usr/bin/ostrel-thumbnailer (it loads no module), its entry in
# /usr/share/thumbnailers/, the MIME type in /usr/share/mime/packages/. The
# stand-in host looks for ostrel.p beside its own executable as the kernel
# names it (/proc/self/exe, the link resolved), so the installed program finds
# the installed module exactly as the build tree's does, with no install-time
# path compiled in; the package stays relocatable and the build tree and the
# package behave alike.

set(OSTREL_PACKAGE_FILES ${CMAKE_BINARY_DIR}/package-files)

# The web page, one file built by the wasm preset (web/build-page.sh). Both
# packages carry it. A package made before the page is built stops and says
# what to run first, rather than leave the page out without a word.
set(OSTREL_WEB_PAGE ${CMAKE_SOURCE_DIR}/build-wasm/ostrel.html CACHE FILEPATH
    "The web page the packages carry (built by web/build-page.sh)")
set(OSTREL_WEB_PAGE_CHECK "
  if(NOT EXISTS \"${OSTREL_WEB_PAGE}\")
    message(FATAL_ERROR \"the web page ${OSTREL_WEB_PAGE} is not built: run web/build-page.sh first\")
  endif()")
file(MAKE_DIRECTORY ${OSTREL_PACKAGE_FILES})

# Licence texts of what each package carries built in, from the Debian packages
# that supplied it to this build. A text not found is left out with a note;
# tools/check-packages.sh then fails on the incomplete package.
set(OSTREL_LICENCES "ostrel|${CMAKE_SOURCE_DIR}/LICENSE")
if(TARGET ostrel AND OSTREL_HAVE_GLTF)
  list(APPEND OSTREL_LICENCES "nlohmann-json|/usr/share/doc/nlohmann-json3-dev/copyright")
endif()
if(TARGET ostrel_render)
  # The png writer's encoder, stb_image_write.
  list(APPEND OSTREL_LICENCES "stb|/usr/share/doc/libstb-dev/copyright")
endif()
if(WIN32)
  # Linked in statically: the mingw-w64 runtime, libgcc and libstdc++ (GPL 3
  # with the GCC Runtime Library Exception, whose text refers to the GPL's).
  list(APPEND OSTREL_LICENCES "mingw-w64-runtime|/usr/share/doc/mingw-w64-common/copyright"
       "gcc-runtime-libraries|/usr/share/doc/gcc-mingw-w64-base/copyright"
       "GPL-3|/usr/share/common-licenses/GPL-3")
endif()

set(OSTREL_LICENCE_FILES)
set(OSTREL_DEB_COPYRIGHT "Ostrel ${PROJECT_VERSION}\n\n")
foreach(entry IN LISTS OSTREL_LICENCES)
  string(REPLACE "|" ";" entry "${entry}")
  list(GET entry 0 name)
  list(GET entry 1 source)
  if(NOT EXISTS "${source}")
    message(STATUS "licence text ${source} not found: the packages lack the one of ${name}")
    continue()
  endif()
  if(WIN32)
    # As text files on Windows: CR LF line ends.
    file(READ "${source}" text)
    string(REPLACE "\n" "\r\n" text "${text}")
    file(WRITE "${OSTREL_PACKAGE_FILES}/licences/${name}.txt" "${text}")
    list(APPEND OSTREL_LICENCE_FILES "${OSTREL_PACKAGE_FILES}/licences/${name}.txt")
  else()
    file(READ "${source}" text)
    if(name STREQUAL "ostrel")
      string(APPEND OSTREL_DEB_COPYRIGHT "${text}")
    else()
      string(APPEND OSTREL_DEB_COPYRIGHT
             "\n\nBuilt into ostrel: ${name}, whose copyright file reads:\n\n${text}")
    endif()
  endif()
endforeach()

if(WIN32)
  # A host loads only a module of its own width: one ZIP for each, the
  # README saying which is which.
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(OSTREL_WINDOWS_BITS 64)
    set(OSTREL_WINDOWS_OTHER_BITS 32)
  else()
    set(OSTREL_WINDOWS_BITS 32)
    set(OSTREL_WINDOWS_OTHER_BITS 64)
  endif()
  set(OSTREL_PYTHON_ENTRY "")
  if(OSTREL_WINDOWS_BITS EQUAL 64 AND TARGET python_wheel)
    set(OSTREL_PYTHON_ENTRY
        "  python\\       the Python package (numpy arrays of models, for trimesh and\n"
        "                meshio), for 64-bit Python 3:\n"
        "                py -m pip install python\\ostrel-${PROJECT_VERSION}-py3-none-win_amd64.whl\n")
    string(JOIN "" OSTREL_PYTHON_ENTRY ${OSTREL_PYTHON_ENTRY})
  endif()
  # Explorer's thumbnail handler, for 64-bit Windows (explorer/), and its
  # section of the README.
  set(OSTREL_THUMBNAILS_ENTRY "")
  set(OSTREL_THUMBNAILS_SECTION "")
  if(TARGET ostrel_thumbnails)
    set(OSTREL_THUMBNAILS_ENTRY
        "  ostrel-thumbnails.dll\n"
        "                pictures of model files in Explorer (see below)\n")
    string(JOIN "" OSTREL_THUMBNAILS_ENTRY ${OSTREL_THUMBNAILS_ENTRY})
    file(READ ${CMAKE_SOURCE_DIR}/packaging/README-thumbnails.txt OSTREL_THUMBNAILS_SECTION)
    install(TARGETS ostrel_thumbnails LIBRARY DESTINATION . COMPONENT ostrel)
  endif()
  install(TARGETS ostrel_module LIBRARY DESTINATION . COMPONENT ostrel)
  if(TARGET ostrel)
    install(TARGETS ostrel RUNTIME DESTINATION . COMPONENT ostrel)
  endif()
  # CR LF line ends on every line, those of the entries put in too (which
  # configure_file's NEWLINE_STYLE leaves as they are).
  configure_file(${CMAKE_SOURCE_DIR}/packaging/README-windows.txt
                 ${OSTREL_PACKAGE_FILES}/README-lf.txt @ONLY NEWLINE_STYLE UNIX)
  file(READ ${OSTREL_PACKAGE_FILES}/README-lf.txt text)
  string(REPLACE "\n" "\r\n" text "${text}")
  file(WRITE ${OSTREL_PACKAGE_FILES}/README.txt "${text}")
  install(FILES ${OSTREL_PACKAGE_FILES}/README.txt DESTINATION . COMPONENT ostrel)
  install(FILES ${OSTREL_LICENCE_FILES} DESTINATION licences COMPONENT ostrel)
  install(DIRECTORY ${CMAKE_SOURCE_DIR}/examples/ DESTINATION examples COMPONENT ostrel)
  install(CODE "${OSTREL_WEB_PAGE_CHECK}" COMPONENT ostrel)
  install(FILES ${OSTREL_WEB_PAGE} DESTINATION . COMPONENT ostrel)
  # The Python package for 64-bit Pythons (python/CMakeLists.txt writes it).
  if(OSTREL_WINDOWS_BITS EQUAL 64 AND TARGET python_wheel)
    install(FILES ${OSTREL_WHEEL_DIR}/ostrel-${PROJECT_VERSION}-py3-none-win_amd64.whl
            DESTINATION python COMPONENT ostrel)
  endif()
  set(CPACK_GENERATOR ZIP)
  set(CPACK_SYSTEM_NAME win${OSTREL_WINDOWS_BITS})
elseif(TARGET ostrel)
  install(TARGETS ostrel_module LIBRARY DESTINATION lib/ostrel COMPONENT ostrel)
  install(TARGETS ostrel RUNTIME DESTINATION lib/ostrel COMPONENT ostrel)
  install(TARGETS ostrel_engine LIBRARY DESTINATION lib/ostrel COMPONENT ostrel)
  file(CREATE_LINK ../lib/ostrel/ostrel ${OSTREL_PACKAGE_FILES}/ostrel SYMBOLIC)
  install(FILES ${OSTREL_PACKAGE_FILES}/ostrel DESTINATION bin COMPONENT ostrel)
  if(TARGET ostrel_man)
    install(FILES ${CMAKE_BINARY_DIR}/man/ostrel.1.gz DESTINATION share/man/man1 COMPONENT ostrel)
  endif()

  set(doc share/doc/ostrel)
  file(WRITE ${OSTREL_PACKAGE_FILES}/copyright "${OSTREL_DEB_COPYRIGHT}")
  install(FILES ${OSTREL_PACKAGE_FILES}/copyright ${CMAKE_SOURCE_DIR}/README.md
          DESTINATION ${doc} COMPONENT ostrel)
  install(FILES ${CMAKE_SOURCE_DIR}/cli/README.md DESTINATION ${doc}/cli COMPONENT ostrel)
  install(DIRECTORY ${CMAKE_SOURCE_DIR}/docs/ DESTINATION ${doc}/docs COMPONENT ostrel)
  install(DIRECTORY ${CMAKE_SOURCE_DIR}/examples/ DESTINATION ${doc}/examples COMPONENT ostrel)
  install(CODE "${OSTREL_WEB_PAGE_CHECK}" COMPONENT ostrel)
  install(FILES ${OSTREL_WEB_PAGE} DESTINATION share/ostrel COMPONENT ostrel)
  # The Python package for Debian's python3, its engine the one above (a
  # link from beside the package); and the Blender add-on where Debian's
  # Blender looks for add-ons, which, carrying no package and engine of its
  # own, uses these through Debian's Python.
  set(python_package lib/python3/dist-packages/ostrel)
  install(DIRECTORY ${CMAKE_SOURCE_DIR}/python/ostrel/ DESTINATION ${python_package}
          COMPONENT ostrel FILES_MATCHING PATTERN "*.py" PATTERN "py.typed"
          PATTERN "__pycache__" EXCLUDE)
  file(CREATE_LINK ../../../ostrel/libostrel_engine.so
       ${OSTREL_PACKAGE_FILES}/libostrel_engine.so SYMBOLIC)
  install(FILES ${OSTREL_PACKAGE_FILES}/libostrel_engine.so DESTINATION ${python_package}
          COMPONENT ostrel)
  install(DIRECTORY ${CMAKE_SOURCE_DIR}/blender/io_import_ostrel
          DESTINATION share/blender/scripts/addons COMPONENT ostrel
          FILES_MATCHING PATTERN "*.py" PATTERN "__pycache__" EXCLUDE)
  # The desktop's part: the model files' MIME type (Debian's shared-mime-info
  # trigger updates the database when the package is installed or removed)
  # and the file managers' thumbnailer, a program of its own on the PATH, as
  # a sandboxed thumbnailer finds it.
  install(FILES ${CMAKE_SOURCE_DIR}/packaging/deb/ostrel-mime.xml DESTINATION share/mime/packages
          RENAME ostrel.xml COMPONENT ostrel)
  if(TARGET ostrel-thumbnailer)
    install(TARGETS ostrel-thumbnailer RUNTIME DESTINATION bin COMPONENT ostrel)
    install(FILES ${CMAKE_SOURCE_DIR}/thumbnailer/ostrel.thumbnailer DESTINATION share/thumbnailers
            COMPONENT ostrel)
  endif()

  set(CPACK_GENERATOR DEB)
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${CMAKE_SOURCE_DIR}/packaging/deb/prerm)
  set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
  set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "python3-numpy")
  set(CPACK_DEBIAN_PACKAGE_SUGGESTS "blender, python3-meshio")
  set(CPACK_DEBIAN_PACKAGE_MAINTAINER "The Ostrel developers <dev@ostrel.invalid>")
else()
  return()
endif()

set(CPACK_PACKAGE_NAME ostrel)
set(CPACK_PACKAGE_VENDOR "The Ostrel developers")
set(CPACK_PACKAGE_CONTACT "dev@ostrel.invalid")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "model file importer and converter (ROKU4 model files)")
set(CPACK_PACKAGE_DESCRIPTION
    "Ostrel imports model files (line-oriented text files beginning with ROKU4)\n"
    "through its object-loader module, as the 3D modelling host does, and writes\n"
    "what it receives as LWOB, Wavefront OBJ + MTL, binary glTF or FBX; gives\n"
    "model files their type and a thumbnail in the file managers.")
string(JOIN "" CPACK_PACKAGE_DESCRIPTION ${CPACK_PACKAGE_DESCRIPTION})
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_CMAKE_PROJECTS "${CMAKE_BINARY_DIR};${PROJECT_NAME};ostrel;/")
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR})
include(CPack)
