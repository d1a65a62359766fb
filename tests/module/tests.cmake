# The plug-in's core: the reader, grouping, geometry, surface blocks, panel
# and activation, run in-process against hand-made model text. The panel's
# Shift-JIS labels are read with the platform's text codec.
ostrel_unit_tests(module_tests ${CMAKE_CURRENT_LIST_DIR} ostrel_core ostrel_platform)
