# What differs by system: the text codec and the file system's paths and
# scratch folders.
ostrel_unit_tests(platform_tests ${CMAKE_CURRENT_LIST_DIR} ostrel_platform)
