# The reader: hand-made model text read in-process, number fields, long
# inputs in bulk, and what the reader tells an observer.
ostrel_unit_tests(model_tests ${CMAKE_CURRENT_LIST_DIR} ostrel_core)
