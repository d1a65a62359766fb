# The engine's C interface: a C program against the shared library, as
# another language's caller loads it; and memory running out, under a
# heap that fails at each allocation in turn (the static library).
enable_language(C)
add_executable(engine_c_test ${CMAKE_CURRENT_LIST_DIR}/EngineTest.c)
target_include_directories(engine_c_test PRIVATE ${CMAKE_SOURCE_DIR})
target_link_libraries(engine_c_test PRIVATE ostrel_engine m)
add_test(NAME engine_c_test COMMAND engine_c_test ${CMAKE_SOURCE_DIR}/examples
         ${CMAKE_SOURCE_DIR}/tests/data ${CMAKE_SOURCE_DIR}/fuzz)

add_executable(engine_memory_test ${CMAKE_CURRENT_LIST_DIR}/EngineMemoryTest.cpp)
target_link_libraries(engine_memory_test PRIVATE ostrel_engine_static)
add_test(NAME engine_memory_test COMMAND engine_memory_test ${CMAKE_SOURCE_DIR}/examples)

# Every example, test model and corpus file with each byte changed in turn
# and cut at every length, through the engine (the fuzzer's entry) and a
# checked activation; the cuts of sound files get the verdict their end
# calls for.
add_executable(engine_sweep_test ${CMAKE_CURRENT_LIST_DIR}/SweepTest.cpp
               ${CMAKE_SOURCE_DIR}/fuzz/EngineFuzzer.cpp)
target_include_directories(engine_sweep_test PRIVATE ${CMAKE_SOURCE_DIR})
target_link_libraries(engine_sweep_test PRIVATE ostrel_engine_static ostrel_standin ostrel_plugin)
add_test(NAME engine_sweep_test COMMAND engine_sweep_test ${CMAKE_SOURCE_DIR})
set_tests_properties(engine_sweep_test PROPERTIES TIMEOUT 1200)
