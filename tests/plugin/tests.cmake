# The plug-in's shell: whole activations against a fake host, the options
# panel, the base name. The panel's Shift-JIS labels are read with the
# platform's text codec.
ostrel_unit_tests(plugin_tests ${CMAKE_CURRENT_LIST_DIR} ostrel_core ostrel_platform)
