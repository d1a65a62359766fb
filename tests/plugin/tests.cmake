# The plug-in's shell: whole activations and the options panel against the
# shared fake host, the base name. The panel's Shift-JIS labels are read with
# the platform's text codec.
ostrel_unit_tests(plugin_tests ${CMAKE_CURRENT_LIST_DIR} ostrel_core ostrel_platform)
target_sources(plugin_tests PRIVATE ${OSTREL_FAKE_HOST_SOURCES})
