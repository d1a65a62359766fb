# Stand-in host tests, included by tests/CMakeLists.txt.
#
#  - host_tests: GoogleTest unit tests of the stand-in host (trace format,
#    option parser, panel services, import callbacks, module checks, the
#    terminal panel), linked against the ostrel_standin library.
#  - ostrel_golden(NAME MODEL [EXIT CODE] [INPUT FILE] [ARGS...]): an end-to-end
#    case that runs `ostrel MODEL ARGS... --trace -`, compares its standard
#    output byte for byte with tests/golden/NAME.trace and its exit status
#    with CODE (default 0). INPUT names a file fed to standard input (default
#    /dev/null). A relative MODEL is looked up in tests/data, then from the
#    repository root. Regenerate the expected traces with
#        OSTREL_UPDATE_GOLDEN=1 ctest -R '^golden\.'
#    (the exit status is still checked then). Arguments may not contain ';'.
if(NOT TARGET ostrel_standin OR NOT TARGET ostrel)
  return()
endif()

if(NOT TARGET GTest::gtest_main)
  find_package(GTest REQUIRED)
endif()
include(GoogleTest)

file(GLOB OSTREL_HOST_TEST_SOURCES CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/*.cpp)
add_executable(host_tests ${OSTREL_HOST_TEST_SOURCES})
target_link_libraries(host_tests PRIVATE ostrel_standin GTest::gtest_main)
gtest_discover_tests(host_tests DISCOVERY_MODE PRE_TEST)

set(OSTREL_GOLDEN_SCRIPT ${CMAKE_CURRENT_LIST_DIR}/golden.cmake)
get_filename_component(OSTREL_GOLDEN_DIR ${CMAKE_CURRENT_LIST_DIR}/../golden ABSOLUTE)
get_filename_component(OSTREL_GOLDEN_DATA_DIR ${CMAKE_CURRENT_LIST_DIR}/../data ABSOLUTE)
get_filename_component(OSTREL_GOLDEN_ROOT_DIR ${CMAKE_CURRENT_LIST_DIR}/../.. ABSOLUTE)

function(ostrel_golden NAME MODEL)
  cmake_parse_arguments(PARSE_ARGV 2 GOLDEN "" "EXIT;INPUT" "")
  if(NOT DEFINED GOLDEN_EXIT)
    set(GOLDEN_EXIT 0)
  endif()
  if(IS_ABSOLUTE "${MODEL}")
    set(model "${MODEL}")
  elseif(EXISTS "${OSTREL_GOLDEN_DATA_DIR}/${MODEL}")
    set(model "${OSTREL_GOLDEN_DATA_DIR}/${MODEL}")
  else()
    set(model "${OSTREL_GOLDEN_ROOT_DIR}/${MODEL}")
  endif()
  if(DEFINED GOLDEN_INPUT)
    if(IS_ABSOLUTE "${GOLDEN_INPUT}")
      set(input "${GOLDEN_INPUT}")
    elseif(EXISTS "${OSTREL_GOLDEN_DATA_DIR}/${GOLDEN_INPUT}")
      set(input "${OSTREL_GOLDEN_DATA_DIR}/${GOLDEN_INPUT}")
    else()
      set(input "${OSTREL_GOLDEN_ROOT_DIR}/${GOLDEN_INPUT}")
    endif()
  else()
    set(input /dev/null)
  endif()
  # The case's parameters go into a file of its own (bracket-quoted), so that
  # arguments with spaces or quotes survive the trip through ctest.
  set(case_dir ${CMAKE_CURRENT_BINARY_DIR}/golden)
  set(case_file ${case_dir}/${NAME}.cmake)
  set(text "set(MODEL [==[${model}]==])\n")
  string(APPEND text "set(ARGS)\n")
  foreach(arg IN LISTS GOLDEN_UNPARSED_ARGUMENTS)
    string(APPEND text "list(APPEND ARGS [==[${arg}]==])\n")
  endforeach()
  string(APPEND text "set(EXPECT_EXIT [==[${GOLDEN_EXIT}]==])\n")
  string(APPEND text "set(INPUT [==[${input}]==])\n")
  string(APPEND text "set(GOLDEN [==[${OSTREL_GOLDEN_DIR}/${NAME}.trace]==])\n")
  string(APPEND text "set(ACTUAL [==[${case_dir}/${NAME}.trace]==])\n")
  string(APPEND text "set(ERRORS [==[${case_dir}/${NAME}.stderr]==])\n")
  # Cross builds (the 32-bit suite) run ostrel through their emulator.
  string(APPEND text "set(EMULATOR [==[${CMAKE_CROSSCOMPILING_EMULATOR}]==])\n")
  file(WRITE ${case_file} "${text}")
  add_test(NAME golden.${NAME}
           COMMAND ${CMAKE_COMMAND} -DOSTREL=$<TARGET_FILE:ostrel> -DCASE=${case_file}
                   -P ${OSTREL_GOLDEN_SCRIPT})
endfunction()

# Panel behaviour cases (the lead adds the model cases).
ostrel_golden(panel_cancel examples/cube.rk4 EXIT 3 --cancel)
ostrel_golden(panel_no_panel examples/cube.rk4 --no-panel)
ostrel_golden(panel_no_services examples/cube.rk4 EXIT 4 --no-panel-services)
ostrel_golden(panel_odd_screen examples/cube.rk4 --screen 1001x777)
ostrel_golden(panel_small_screen examples/cube.rk4 --screen 322x289)
ostrel_golden(panel_edits examples/cube.rk4 --load faces --name box --scale 2 --colours dark
              --smooth off --angle 30 --double-sided on)
ostrel_golden(panel_interactive examples/cube.rk4 INPUT tests/host/interactive-input.txt --interactive)
ostrel_golden(activation_version_2 examples/cube.rk4 EXIT 4 --activation-version 2)
