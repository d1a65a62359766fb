# The plug-in's shell: whole activations and the options panel through the
# stand-in with its host checks on, the base name. The panel's Shift-JIS
# labels are read with the platform's text codec.
ostrel_unit_tests(plugin_tests ${CMAKE_CURRENT_LIST_DIR} ostrel_linked_module ostrel_standin
                  ostrel_plugin ostrel_platform)
