# GoogleTest built from source inside this project, for targets whose
# architecture the installed GoogleTest libraries do not match (the 32-bit
# build). Provides GTest::gtest and GTest::gtest_main and makes a later
# find_package(GTest) resolve to them instead of the system libraries.
set(OSTREL_GTEST_SOURCE_DIR /usr/src/googletest CACHE PATH "GoogleTest source tree")
if(NOT EXISTS ${OSTREL_GTEST_SOURCE_DIR}/CMakeLists.txt)
  message(FATAL_ERROR "OSTREL_BUNDLED_GTEST: no GoogleTest sources in ${OSTREL_GTEST_SOURCE_DIR}")
endif()

set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
# SYSTEM keeps the project's warning options off GoogleTest's headers in the
# test sources; -w keeps them (and -Werror) off its own sources.
add_subdirectory(${OSTREL_GTEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/_deps/googletest
                 EXCLUDE_FROM_ALL SYSTEM)
target_compile_options(gtest PRIVATE -w)
target_compile_options(gtest_main PRIVATE -w)
if(WIN32)
  target_compile_options(gtest PUBLIC -include ${CMAKE_CURRENT_LIST_DIR}/GTestWin32Notification.h)
endif()

# Newer GoogleTest trees define some of these names themselves.
foreach(alias_target gtest:GTest::gtest gtest_main:GTest::gtest_main gtest:GTest::GTest
                     gtest_main:GTest::Main)
  string(REPLACE ":" ";" alias_pair ${alias_target})
  list(GET alias_pair 0 alias_of)
  list(GET alias_pair 1 alias_name)
  if(NOT TARGET ${alias_name})
    add_library(${alias_name} ALIAS ${alias_of})
  endif()
endforeach()

# find_package consults this folder before any Find module.
file(WRITE ${CMAKE_FIND_PACKAGE_REDIRECTS_DIR}/gtest-config.cmake
     "# Generated: GoogleTest is built inside the project.\nset(GTest_FOUND TRUE)\nset(GTEST_FOUND TRUE)\n")
file(WRITE ${CMAKE_FIND_PACKAGE_REDIRECTS_DIR}/gtest-config-version.cmake
     "set(PACKAGE_VERSION 1.12.1)\nset(PACKAGE_VERSION_COMPATIBLE TRUE)\n")
