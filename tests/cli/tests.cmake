# The command line, included by tests/CMakeLists.txt.
#
#  - cli_tests: GoogleTest unit tests of the option parser, the output plans
#    and safe writing, the status lines, the terminal panel.
#  - command_line_tests: `ostrel` run as a user runs it (exit status, lines,
#    files left), through a POSIX shell.
#  - ostrel_golden(NAME MODEL [EXIT CODE] [INPUT FILE] [ARGS...]): an end-to-end
#    case that runs `ostrel MODEL ARGS... --trace -`, compares its standard
#    output byte for byte with tests/golden/NAME.trace and its exit status
#    with CODE (default 0). INPUT names a file fed to standard input (default
#    /dev/null). A relative MODEL is looked up in tests/data, then from the
#    repository root. Regenerate the expected traces with
#        OSTREL_UPDATE_GOLDEN=1 ctest -R '^golden\.'
#    (the exit status is still checked then). Arguments may not contain ';'.
add_executable(cli_tests ${CMAKE_CURRENT_LIST_DIR}/OptionsTests.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ModelListTests.cpp ${CMAKE_CURRENT_LIST_DIR}/OutputFileTests.cpp
  ${CMAKE_CURRENT_LIST_DIR}/OutputPlanTests.cpp
  ${CMAKE_CURRENT_LIST_DIR}/TerminalPanelTests.cpp)
target_link_libraries(cli_tests PRIVATE ostrel_cli GTest::gtest_main)
target_include_directories(cli_tests PRIVATE ${OSTREL_TEST_SUPPORT})
gtest_discover_tests(cli_tests DISCOVERY_MODE PRE_TEST)

if(NOT WIN32)
  add_executable(command_line_tests ${CMAKE_CURRENT_LIST_DIR}/CommandLineTests.cpp
    ${CMAKE_CURRENT_LIST_DIR}/CommandLineBatchTests.cpp)
  target_link_libraries(command_line_tests PRIVATE GTest::gtest_main)
  # A cross build (the 32-bit suite under qemu) runs ostrel through its
  # emulator, as ctest runs the test program itself.
  target_compile_definitions(command_line_tests PRIVATE
    OSTREL_EXE="$<TARGET_FILE:ostrel>"
    OSTREL_EMULATOR="${CMAKE_CROSSCOMPILING_EMULATOR}"
    OSTREL_EXAMPLES_DIR="${CMAKE_SOURCE_DIR}/examples")
  add_dependencies(command_line_tests ostrel ostrel_module)
  gtest_discover_tests(command_line_tests DISCOVERY_MODE PRE_TEST)
endif()

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
ostrel_golden(panel_interactive examples/cube.rk4 INPUT tests/cli/interactive-input.txt --interactive)
ostrel_golden(activation_version_2 examples/cube.rk4 EXIT 4 --activation-version 2)
