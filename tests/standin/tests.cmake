# The host simulation: the trace format, the import callbacks and what the
# host refuses, the panel services as the plug-in sees them, the module
# checks.
ostrel_unit_tests(standin_tests ${CMAKE_CURRENT_LIST_DIR} ostrel_standin)
