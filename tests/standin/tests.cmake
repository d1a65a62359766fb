# The host simulation: the trace format, the import callbacks and what the
# host refuses, the panel services as the plug-in sees them, the module
# checks.
ostrel_unit_tests(standin_tests ${CMAKE_CURRENT_LIST_DIR} ostrel_standin)
if(TARGET ostrel_module)
  # The module file itself, for its copies loaded apart.
  target_compile_definitions(standin_tests PRIVATE OSTREL_MODULE_FILE="$<TARGET_FILE:ostrel_module>")
  add_dependencies(standin_tests ostrel_module)
endif()
