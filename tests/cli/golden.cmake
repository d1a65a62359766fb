# One golden-trace case (see tests.cmake): cmake -DOSTREL=... -DCASE=... -P golden.cmake
if(NOT DEFINED OSTREL OR NOT DEFINED CASE)
  message(FATAL_ERROR "usage: cmake -DOSTREL=<ostrel> -DCASE=<case.cmake> -P golden.cmake")
endif()
include(${CASE})

execute_process(
  COMMAND ${EMULATOR} ${OSTREL} ${MODEL} ${ARGS} --trace -
  INPUT_FILE ${INPUT}
  OUTPUT_FILE ${ACTUAL}
  ERROR_FILE ${ERRORS}
  RESULT_VARIABLE rc)
file(READ ${ERRORS} errors)

if(NOT "${rc}" STREQUAL "${EXPECT_EXIT}")
  message(FATAL_ERROR "ostrel exited with ${rc}, expected ${EXPECT_EXIT}\nstderr:\n${errors}")
endif()

if("$ENV{OSTREL_UPDATE_GOLDEN}" STREQUAL "1")
  configure_file(${ACTUAL} ${GOLDEN} COPYONLY)
  message(STATUS "updated ${GOLDEN}")
  return()
endif()

if(NOT EXISTS ${GOLDEN})
  message(FATAL_ERROR "no expected trace ${GOLDEN}; create it with OSTREL_UPDATE_GOLDEN=1 ctest -R '^golden\\.'")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${GOLDEN} ${ACTUAL} RESULT_VARIABLE differ)
if(differ)
  find_program(DIFF diff)
  set(shown "")
  if(DIFF)
    execute_process(COMMAND ${DIFF} -u ${GOLDEN} ${ACTUAL} OUTPUT_VARIABLE shown)
    string(LENGTH "${shown}" length)
    if(length GREATER 8000)
      string(SUBSTRING "${shown}" 0 8000 shown)
      string(APPEND shown "\n... (cut)")
    endif()
  endif()
  message(FATAL_ERROR "trace differs from ${GOLDEN} (actual: ${ACTUAL})\n${shown}\nstderr:\n${errors}")
endif()
