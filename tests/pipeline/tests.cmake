# The entry point of every front end, called as a front end calls it: model
# bytes in, outcome and files out, the plug-in linked into the program.
ostrel_unit_tests(pipeline_tests ${CMAKE_CURRENT_LIST_DIR} ostrel_pipeline ostrel_linked_module
                  ostrel_wide_module)
